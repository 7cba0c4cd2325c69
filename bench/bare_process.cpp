// The baseline of every benchmark: a process that starts and ends at once.
int main() { return 0; }
