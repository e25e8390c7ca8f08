// Start-up and the command line of Karto view.
int main() { return 0; }
