// A Windows program that does nothing: what starting any program under Wine
// costs, for the module's start-up to be measured against.
int main() { return 0; }
