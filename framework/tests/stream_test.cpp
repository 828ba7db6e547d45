// stream_test.cpp -- placeholder
