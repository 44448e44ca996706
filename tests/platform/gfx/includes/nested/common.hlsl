float Common() { return 1.0; }
