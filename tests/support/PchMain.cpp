// The program that builds the test programs' precompiled header.
int main() { return 0; }
