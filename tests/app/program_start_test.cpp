// Starting the real program: without a display it says so in one line and
// stops, instead of letting the toolkit abort.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

TEST(ProgramStart, RefusesWithoutDisplayInOneClearLine) {
    const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") +
                                ZAREVO_PLUGIN_OUTPUT_DIR + "/ZarevoPlusApp 2>&1";
    std::FILE* program = popen(command.c_str(), "r");
    ASSERT_NE(program, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, program)) output += buffer;
    const int status = pclose(program);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(output, "ZarevoPlusApp needs a graphical desktop: neither DISPLAY nor WAYLAND_DISPLAY is set.\n");
}
