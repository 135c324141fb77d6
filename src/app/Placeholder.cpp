// Keeps the library non-empty until the window's sources arrive.
int parlotelGuiPlaceholder() { return 0; }
