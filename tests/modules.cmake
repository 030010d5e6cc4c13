# The test modules, mirroring the source folders.
tallybell_test_module(framework LIBS tallybell::framework)
# The two-host socket tests drive the alarm test peer.
add_dependencies(test_framework tallybell-peer)
tallybell_test_module(app LIBS tallybell::app)
tallybell_test_module(preferences LIBS tallybell::preferences)
tallybell_test_module(platform LIBS tallybell::platform)
tallybell_test_module(keepawake LIBS tallybell::keepawake)
# The windows, controls, media loaders and artwork, and the alarm's road from datagram to
# acknowledgement; the horn comes from the build's Resources folder.
tallybell_test_module(app/ui LIBS tallybell::app)
add_dependencies(test_app_ui bundle_resources)
# Clicks go through the window system, as the platform delivers them (in every source alike).
target_compile_definitions(test_app_ui PRIVATE QTEST_QPA_MOUSE_HANDLING)
# End to end: the real executable under Xvfb in one of two namespaces joined by veth, raised and
# answered by the alarm test peer in the other.
tallybell_test_module(e2e LIBS Qt6::Gui)
add_dependencies(test_e2e tallybell tallybell-peer)
target_compile_definitions(test_e2e
    PRIVATE TALLYBELL_SPRITE_SHEET="${PROJECT_SOURCE_DIR}/resources/SpriteSheet.png")
# Faults and bad input. In process: random datagrams at the started application object, and its
# watchdog once the network is back (with the build's horn).
tallybell_test_module(faults LIBS tallybell::app)
add_dependencies(test_faults bundle_resources tallybell-peer)
# The real executable against unusable preferences files and a misbehaving network.
tallybell_test_module(faults/executable LIBS Qt6::Core)
add_dependencies(test_faults_executable tallybell tallybell-peer)
