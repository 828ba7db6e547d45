// refobj_test.cpp -- placeholder
