/* Preloaded into the sanitizer build's tests: libraries are never unloaded.
 *
 * SDL and the GL driver unload the libraries they opened when the window closes. What those
 * libraries keep for the life of the process then points into an unmapped module, which
 * LeakSanitizer can neither name nor match against tests/sanitize/lsan.supp, so a test that
 * passed fails at exit. Keeping every module mapped keeps their names. */
int dlclose(void *handle) {
    (void)handle;
    return 0;
}
