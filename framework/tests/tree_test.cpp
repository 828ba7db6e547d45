// tree_test.cpp -- placeholder
