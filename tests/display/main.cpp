// The engines draw text, which needs a QGuiApplication. It is created when the tests run (not
// while CTest lists them), on the platform CTest sets (offscreen).
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    GuiEnvironment(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}
    void SetUp() override { m_app = std::make_unique<QGuiApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int& m_argc;
    char** m_argv;
    std::unique_ptr<QGuiApplication> m_app;
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
