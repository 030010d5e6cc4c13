# The test modules, mirroring the source folders.
# The sound tests record the Linux sound worker's streams; Apple plays through Qt instead.
set(framework_sound_tests sound_test.cpp)
if(APPLE)
    set(framework_sound_tests)
endif()
tallybell_test_module(framework
    SOURCES canvas_test.cpp events_test.cpp files_test.cpp graphics_test.cpp json_test.cpp
            menu_test.cpp message_box_test.cpp picture_test.cpp property_list_test.cpp
            ${framework_sound_tests} text_field_test.cpp toolkit_messages_test.cpp
            tray_item_test.cpp udp_socket_test.cpp values_test.cpp window_test.cpp
    LIBS tallybell::framework)
# The two-host socket tests drive the alarm test peer.
add_dependencies(test_framework tallybell-peer)
tallybell_test_module(app
    SOURCES app_fixture.h app_test.cpp main_menu_bar_test.cpp
    LIBS tallybell::app)
tallybell_test_module(preferences SOURCES prefs_test.cpp LIBS tallybell::preferences)
tallybell_test_module(platform SOURCES object_runtime_test.cpp LIBS tallybell::platform)
tallybell_test_module(keepawake SOURCES caffeine_drip_test.cpp LIBS tallybell::keepawake)
# The windows, controls, media loaders and artwork, and the alarm's road from datagram to
# acknowledgement; the horn comes from the build's Resources folder.
tallybell_test_module(app/ui
    SOURCES alarm_fixture.h alarm_road_test.cpp alarm_window_lists_test.cpp alarm_window_test.cpp
            app_tray_item_test.cpp med_button_test.cpp media_test.cpp name_prompt_test.cpp
    LIBS tallybell::app)
add_dependencies(test_app_ui bundle_resources)
# Clicks go through the window system, as the platform delivers them (in every source alike).
target_compile_definitions(test_app_ui PRIVATE QTEST_QPA_MOUSE_HANDLING)
# End to end: the real executable under Xvfb in one of two namespaces joined by veth, raised and
# answered by the alarm test peer in the other.
tallybell_test_module(e2e
    SOURCES alarm_road_test.cpp desktop_session.cpp desktop_session.h display_test.cpp
            message_box_test.cpp name_prompt_test.cpp
    LIBS Qt6::Gui)
add_dependencies(test_e2e tallybell tallybell-peer)
target_compile_definitions(test_e2e
    PRIVATE TALLYBELL_SPRITE_SHEET="${PROJECT_SOURCE_DIR}/resources/SpriteSheet.png")
# Faults and bad input. In process: random datagrams at the started application object, and its
# watchdog once the network is back (with the build's horn).
tallybell_test_module(faults
    SOURCES datagram_fuzz_test.cpp lost_network_test.cpp started_app.h
    LIBS tallybell::app)
add_dependencies(test_faults bundle_resources tallybell-peer)
# The real executable against unusable preferences files and a misbehaving network.
tallybell_test_module(faults/executable
    SOURCES link_faults.cpp link_faults.h network_faults_test.cpp preferences_file_test.cpp
    LIBS Qt6::Core)
add_dependencies(test_faults_executable tallybell tallybell-peer)
