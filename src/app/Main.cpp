// Application entry point. Until the application shell lands this opens an
// empty main window.
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
class MainWindow final : public juce::DocumentWindow
{
public:
    explicit MainWindow (const juce::String& name)
        : DocumentWindow (name,
                          juce::Colour (0xff54276c),
                          juce::DocumentWindow::allButtons)
    {
        setUsingNativeTitleBar (true);
        setResizable (true, true);
        centreWithSize (1280, 800);
        setVisible (true);
    }

    void closeButtonPressed() override
    {
        juce::JUCEApplication::getInstance()->systemRequestedQuit();
    }
};

class CorvadineApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "Corvadine"; }
    const juce::String getApplicationVersion() override { return "0.9.9"; }
    bool moreThanOneInstanceAllowed() override { return false; }

    void initialise (const juce::String&) override
    {
        mainWindow = std::make_unique<MainWindow> (getApplicationName());
    }

    void shutdown() override { mainWindow = nullptr; }

    void systemRequestedQuit() override { quit(); }

private:
    std::unique_ptr<MainWindow> mainWindow;
};
} // namespace

START_JUCE_APPLICATION (CorvadineApplication)
