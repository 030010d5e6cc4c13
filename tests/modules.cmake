# The test modules, mirroring the source folders.
tallybell_test_module(framework LIBS tallybell::framework)
