// persist_test.cpp -- placeholder
