// Test entry point: starts JUCE's message manager and gives every test a
// fresh temporary HOME, so no test touches a real account or sees files
// another test left behind.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{
class TemporaryHome final : public testing::EmptyTestEventListener
{
public:
    void OnTestStart (const testing::TestInfo&) override
    {
        char pattern[] = "/tmp/corvadine-home-XXXXXX";

        if (auto* made = ::mkdtemp (pattern))
        {
            home = made;
            ::setenv ("HOME", made, 1);
            // Everything derived from HOME follows it.
            ::unsetenv ("XDG_DATA_HOME");
            ::unsetenv ("XDG_CONFIG_HOME");
            ::unsetenv ("XDG_DOCUMENTS_DIR");
        }
    }

    void OnTestEnd (const testing::TestInfo&) override
    {
        if (! home.empty() && ! std::getenv ("CORVADINE_KEEP_TEST_HOME"))
            juce::File (home).deleteRecursively();

        home.clear();
    }

private:
    std::string home;
};
} // namespace

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append (new TemporaryHome());

    juce::ScopedJuceInitialiser_GUI juce;
    const auto result = RUN_ALL_TESTS();
    juce::DeletedAtShutdown::deleteAll();
    return result;
}
