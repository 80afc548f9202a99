// A loadable module that is not a VST plug-in: it exports a function, but no entry point.
extern "C" __attribute__((visibility("default"))) int render_test_answer() {
    return 42;
}
