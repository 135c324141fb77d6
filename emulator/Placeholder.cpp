// Keeps the library non-empty until the unit's sources arrive.
int parlotelUnitPlaceholder() { return 0; }
