# The card reading window and MifareApi (label biometric), over the real card reader libraries:
# the simulated reader, and a real pcscd with the virtual reader in a namespace per test process.
add_executable(card_console_tests biometric/CardTestMain.cpp biometric/CardAssistTest.cpp ConsoleTestUtil.h)
target_link_libraries(card_console_tests PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,orvel_console>"
                      cardtest_env orvel_site GTest::gtest Qt6::Test)
add_dependencies(card_console_tests gfi2 mifaredrv cardsim)
gtest_discover_tests(card_console_tests PROPERTIES LABELS biometric TIMEOUT 60
                     ENVIRONMENT QT_QPA_PLATFORM=offscreen)
