// Program entry; the window and the main loop live in shell/.
int GameMain();

int main() {
    return GameMain();
}
