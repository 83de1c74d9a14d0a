// Placeholder entry until the window and main loop land.
int GameMain() { return 0; }
