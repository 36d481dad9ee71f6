#include "app/CorvadineApplication.h"
#include "app/MainComponent.h"
#include "model/FileLess.h"
#include "widgets/DialogManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
// JUCE expects its application object to come from the entry point's
// factory; the tests make theirs directly.
std::unique_ptr<CorvadineApplication> makeApplication()
{
    juce::JUCEApplicationBase::createInstance = [] () -> juce::JUCEApplicationBase* { return nullptr; };
    return std::make_unique<CorvadineApplication>();
}
} // namespace

TEST (CorvadineApplication, NameVersionAndOneInstance)
{
    auto application = makeApplication();
    EXPECT_EQ (application->getApplicationName(), "Corvadine");
    EXPECT_EQ (application->getApplicationVersion(), "0.9.9");
    // JUCE's machine-wide lock is off: the application's own lock keeps one
    // copy per user session.
    EXPECT_TRUE (application->moreThanOneInstanceAllowed());
    EXPECT_EQ (application->mainWindow, nullptr);
}

TEST (CorvadineApplication, AStartThatFindsAnotherCopyRunningEndsWithoutAWindow)
{
    const InstanceLock otherCopy (InstanceLock::defaultLockFile());
    ASSERT_TRUE (otherCopy.isHeld());

    auto application = makeApplication();
    application->initialise ({});
    EXPECT_EQ (application->mainWindow, nullptr);
    test::pumpMessageLoop (50);
    EXPECT_EQ (juce::TopLevelWindow::getNumTopLevelWindows(), 0);
    application->shutdown();
}

TEST (CorvadineApplication, MainWindowIsTheFullScreenHomeOfTheMainComponent)
{
    auto application = makeApplication();
    application->initialise ({});
    ASSERT_NE (application->mainWindow, nullptr);
    auto& window = *application->mainWindow;
    test::pumpMessageLoop (100);

    EXPECT_EQ (window.getName(), "Corvadine");
    EXPECT_TRUE (window.isOnDesktop());
    EXPECT_TRUE (window.isVisible());
    EXPECT_TRUE (window.isUsingNativeTitleBar());
    const auto flags = window.getDesktopWindowStyleFlags();
    EXPECT_NE (flags & juce::ComponentPeer::windowHasTitleBar, 0);
    EXPECT_NE (flags & juce::ComponentPeer::windowHasCloseButton, 0);
    EXPECT_NE (flags & juce::ComponentPeer::windowHasMinimiseButton, 0);
    EXPECT_NE (flags & juce::ComponentPeer::windowHasMaximiseButton, 0);
    EXPECT_TRUE (window.isResizable());

    for (auto* child : window.getChildren())
        EXPECT_EQ (dynamic_cast<juce::ResizableCornerComponent*> (child), nullptr) << "no corner resizer";
    EXPECT_TRUE (window.isFullScreen());
    ASSERT_NE (window.getMainComponent(), nullptr);
    EXPECT_EQ (window.getContentComponent(), window.getMainComponent());

    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    ASSERT_NE (display, nullptr);
    EXPECT_EQ (window.getMainComponent()->getWidth(), display->userArea.getWidth());
    EXPECT_TRUE (test::writeSnapshot (window, "main-window").existsAsFile());

    application->shutdown();
    EXPECT_EQ (application->mainWindow, nullptr);
}

TEST (CorvadineApplication, BackgroundIsAVeryDarkGreyishPurple)
{
    const auto colour = CorvadineApplication::MainWindow::backgroundColour();
    EXPECT_EQ (colour, juce::Colour (0xff54276c).withBrightness (0.15f).withSaturation (0.3f));
    EXPECT_NEAR (colour.getBrightness(), 0.15f, 0.01f);
    EXPECT_NEAR (colour.getSaturation(), 0.3f, 0.03f); // 8-bit channels at this darkness
    EXPECT_NEAR (colour.getHue(), juce::Colour (0xff54276c).getHue(), 0.02f);
    EXPECT_TRUE (colour.isOpaque());

    auto application = makeApplication();
    application->initialise ({});
    EXPECT_EQ (application->mainWindow->getBackgroundColour(), colour);
    application->shutdown();
}

TEST (CorvadineApplication, CloseButtonQuitsTheApplication)
{
    auto application = makeApplication();
    application->initialise ({});
    ASSERT_FALSE (juce::MessageManager::getInstance()->hasStopMessageBeenSent());

    application->mainWindow->closeButtonPressed();

    EXPECT_TRUE (test::pumpUntil ([] { return juce::MessageManager::getInstance()->hasStopMessageBeenSent(); }, 2000));
    application->shutdown();
}

TEST (CorvadineApplication, QuittingWritesThePendingChangeFirst)
{
    auto application = makeApplication();
    application->initialise ({});
    auto& controller = *application->mainWindow->getMainComponent()->controller;
    ASSERT_TRUE (test::pumpUntil ([&] { return ! controller.isSaving(); }, 5000));

    controller.document.setProperty ("testMarker", "before-quit", nullptr);
    controller.startDeferredSave();
    const juce::File documentFile (controller.documentPath);

    application->systemRequestedQuit();

    EXPECT_TRUE (documentFile.loadFileAsString().contains ("testMarker=\"before-quit\""));
    EXPECT_TRUE (test::pumpUntil ([] { return juce::MessageManager::getInstance()->hasStopMessageBeenSent(); }, 2000));
    application->shutdown();
}

TEST (CorvadineApplication, AnUnwritablePendingChangeAsksBeforeQuittingAndOnlyTheUsersWordDropsIt)
{
    // Only a store whose flush reports a failed write can ask.
    if constexpr (! std::is_same_v<decltype (std::declval<FileLess&>().flushPendingSave()), bool>)
        GTEST_SKIP() << "the document store does not report failed writes yet";

    auto application = makeApplication();
    application->initialise ({});
    auto& controller = *application->mainWindow->getMainComponent()->controller;
    const auto blocker = test::documentsFolder().getChildFile ("blocker");
    test::writeTextFile (blocker, "x");
    controller.setDocumentPath (blocker.getChildFile ("Doc.xml").getFullPathName());
    controller.document.setProperty ("testMarker", "unwritable", nullptr);
    controller.startDeferredSave();

    {
        // The question ends without a button: the application stays.
        DialogManager::ScopedAnswerer stay ([] (const DialogManager::Request&) { return -1; });
        application->mainWindow->closeButtonPressed();
        test::pumpMessageLoop (100);
        ASSERT_GE (stay.requests.size(), 1);
        EXPECT_EQ (stay.requests[0].kind, DialogManager::Request::Kind::choice);
        EXPECT_FALSE (juce::MessageManager::getInstance()->hasStopMessageBeenSent());
    }

    {
        // "Discard changes": the application quits.
        DialogManager::ScopedAnswerer discard ([] (const DialogManager::Request& request)
                                               { return request.buttons.indexOf ("Discard changes"); });
        application->systemRequestedQuit();
        EXPECT_EQ (discard.requests.size(), 1);
        EXPECT_TRUE (test::pumpUntil ([] { return juce::MessageManager::getInstance()->hasStopMessageBeenSent(); }, 2000));
    }

    application->shutdown();
}
