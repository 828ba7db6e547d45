// list_test.cpp -- placeholder
