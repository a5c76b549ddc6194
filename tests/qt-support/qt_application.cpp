// One QApplication for every test of a suite that starts Qt: created before
// the first test and deleted after the last, so no widget outlives it and the
// suites need no helper of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // Tests run without a display; a platform chosen by the caller wins.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "zarevo_test";
        static char* argv[] = {name, nullptr};
        application_ = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete application_;
        application_ = nullptr;
    }

private:
    QApplication* application_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
