// Being written.
int main() { return 1; }
