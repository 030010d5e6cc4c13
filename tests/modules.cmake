# The test modules, mirroring the source folders.
tallybell_test_module(framework LIBS tallybell::framework)
# The two-host socket tests drive the alarm test peer.
add_dependencies(test_framework tallybell-peer)
tallybell_test_module(app LIBS tallybell::app)
tallybell_test_module(preferences LIBS tallybell::preferences)
tallybell_test_module(platform LIBS tallybell::platform)
tallybell_test_module(keepawake LIBS tallybell::keepawake)
# The media loaders and artwork; the horn tests lay out a Resources folder beside their executable.
tallybell_test_module(app/ui LIBS tallybell::app)
tallybell_test_module(app/ui/horn PRIVATE_DIR LIBS tallybell::app)
add_dependencies(test_app_ui bundle_resources)
add_dependencies(test_app_ui_horn bundle_resources)
