# Tests of the Windows build, run under Wine.
