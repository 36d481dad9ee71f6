#include "app/ControllerHarness.h"

#include "host/ArenaSetupReader.h"
#include "host/FileWatcher.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace corvadine::test
{
juce::String screenSetupText (const std::vector<FixtureScreen>& screens, juce::Point<int> composition)
{
    // A stream, not a string: appending to a juce::String copies it, which
    // takes minutes for setups of thousands of slices.
    juce::MemoryOutputStream text;
    text << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         << "<ScreenSetup name=\"ScreenSetup\">\n"
         << "  <versionInfo name=\"Resolume Arena\" majorVersion=\"7\" minorVersion=\"13\"/>\n"
         << "  <CurrentCompositionTextureSize width=\"" << composition.x << "\" height=\"" << composition.y << "\"/>\n"
         << "  <screens>\n";

    for (const auto& screen : screens)
    {
        text << "    <Screen name=\"" << screen.name << "\" uniqueId=\"" << screen.uniqueId << "\">\n"
             << "      <Params name=\"Params\"><Param name=\"Hidden\" T=\"BOOL\" default=\"0\" value=\""
             << (screen.hidden ? 1 : 0) << "\"/></Params>\n"
             << "      <layers>\n";

        for (const auto& slice : screen.slices)
        {
            const auto r = slice.input;
            text << "        <Slice uniqueId=\"" << slice.uniqueId << "\"><Params name=\"Common\"><Param name=\"Name\" value=\""
                 << slice.name << "\"/></Params>"
                 << "<InputRect orientation=\"0\"><v x=\"" << r.getX() << "\" y=\"" << r.getY() << "\"/><v x=\"" << r.getRight()
                 << "\" y=\"" << r.getY() << "\"/><v x=\"" << r.getRight() << "\" y=\"" << r.getBottom() << "\"/><v x=\""
                 << r.getX() << "\" y=\"" << r.getBottom() << "\"/></InputRect>"
                 << "<OutputRect orientation=\"0\"><v x=\"" << r.getX() << "\" y=\"" << r.getY() << "\"/><v x=\"" << r.getRight()
                 << "\" y=\"" << r.getY() << "\"/><v x=\"" << r.getRight() << "\" y=\"" << r.getBottom() << "\"/><v x=\""
                 << r.getX() << "\" y=\"" << r.getBottom() << "\"/></OutputRect>"
                 << "</Slice>\n";
        }

        text << "      </layers>\n    </Screen>\n";
    }

    text << "  </screens>\n</ScreenSetup>\n";
    return text.toString();
}

namespace
{
void addParam (juce::XmlElement& params, const char* name, const juce::String& value)
{
    auto* param = params.createNewChildElement ("Param");
    param->setAttribute ("name", name);
    param->setAttribute ("value", value);
}

// At a double's full precision: the text reads back as the same float.
juce::String numberText (float v)
{
    return juce::String ((double) v);
}

void addPoints (juce::XmlElement& parent, const juce::Array<juce::Point<float>>& points)
{
    for (auto p : points)
    {
        auto* v = parent.createNewChildElement ("v");
        v->setAttribute ("x", numberText (p.x));
        v->setAttribute ("y", numberText (p.y));
    }
}
} // namespace

juce::String hostSetupText (const juce::Array<ScreenInfo>& screens, juce::Point<int> composition)
{
    juce::XmlElement setup ("ScreenSetup");
    setup.setAttribute ("name", "ScreenSetup");
    auto* size = setup.createNewChildElement ("CurrentCompositionTextureSize");
    size->setAttribute ("width", composition.x);
    size->setAttribute ("height", composition.y);
    auto* screensElement = setup.createNewChildElement ("screens");

    for (const auto& screen : screens)
    {
        auto* screenElement = screensElement->createNewChildElement ("Screen");
        screenElement->setAttribute ("name", screen.name);
        screenElement->setAttribute ("uniqueId", juce::String (screen.uniqueId));
        auto* params = screenElement->createNewChildElement ("Params");
        params->setAttribute ("name", "Params");
        addParam (*params, "Hidden", screen.enabled ? "0" : "1");
        auto* layers = screenElement->createNewChildElement ("layers");

        for (const auto& slice : screen.slices)
        {
            auto* sliceElement = layers->createNewChildElement ("Slice");
            sliceElement->setAttribute ("uniqueId", juce::String (slice.uniqueId));
            auto* common = sliceElement->createNewChildElement ("Params");
            common->setAttribute ("name", "Common");
            addParam (*common, "Name", slice.name);
            addParam (*common, "Enabled", slice.enabled ? "1" : "0");
            auto* output = sliceElement->createNewChildElement ("Params");
            output->setAttribute ("name", "Output");
            addParam (*output, "Flip", juce::String (slice.flip));

            auto* input = sliceElement->createNewChildElement ("InputRect");
            input->setAttribute ("orientation", numberText (slice.inputOrientation));
            addPoints (*input, slice.inputRect);
            auto* outputRect = sliceElement->createNewChildElement ("OutputRect");
            outputRect->setAttribute ("orientation", numberText (slice.outputOrientation));
            addPoints (*outputRect, slice.outputRect);

            if (! slice.mask.isEmpty())
                addPoints (*sliceElement->createNewChildElement ("InputContour")->createNewChildElement ("points"), slice.mask);

            if (! slice.outputContour.isEmpty())
                addPoints (*sliceElement->createNewChildElement ("OutputContour")->createNewChildElement ("points"), slice.outputContour);
        }
    }

    return setup.toString();
}

FixtureScreen rowOfSlices (juce::int64 screenId, int count, juce::int64 firstId)
{
    FixtureScreen screen { screenId, "Screen " + juce::String (screenId), {} };

    for (int i = 0; i < count; ++i)
        screen.slices.push_back ({ firstId + i, "Slice " + juce::String (i + 1), { 100 + i * 120, 100, 100, 50 } });

    return screen;
}

HostFolder::HostFolder (int hostVersion)
    : version (hostVersion),
      folder (arenaFolderForVersion (hostVersion))
{
    documentsFolder();
    folder.createDirectory();
}

juce::File HostFolder::setupFile() const
{
    return folder.getChildFile ("Preferences/AdvancedOutput.xml");
}

void HostFolder::writeSetup (const juce::String& text, int ageMs) const
{
    writeTextFile (setupFile(), text);

    if (ageMs > 0)
        ageFile (setupFile(), ageMs);
}

bool installHostSamples()
{
    const auto samples = hostSamplesFolder().getChildFile ("Resolume Arena");

    if (! samples.isDirectory())
        return false;

    const auto target = arenaFolderForVersion (7);
    documentsFolder();
    return samples.copyDirectoryTo (target);
}

void ageFile (const juce::File& file, int ageMs)
{
    const auto when = juce::Time::currentTimeMillis() - ageMs;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = (time_t) (when / 1000);
    times[0].tv_nsec = times[1].tv_nsec = (long) (when % 1000) * 1000000L;
    ::utimensat (AT_FDCWD, file.getFullPathName().toRawUTF8(), times, 0);
}

//==============================================================================
ControllerHarness::ControllerHarness()
{
    dialogs = std::make_unique<DialogManager::ScopedAnswerer> ([this] (const DialogManager::Request& request)
    {
        if (onDialog != nullptr)
            onDialog (request);

        if (request.kind == DialogManager::Request::Kind::hostVersion)
            return hostVersionAnswer;

        return answer != nullptr ? answer (request) : 0;
    });
}

ControllerHarness::~ControllerHarness()
{
    quit();
    dialogs.reset();
}

FlowController& ControllerHarness::start()
{
    window = std::make_unique<juce::Component> ("Controller test");
    window->setBounds (0, 0, 1200, 700);

    inspector = std::make_unique<LookInspector>();
    inspector->setName ("LookSpector");
    stage = std::make_unique<StageComponent>();

    flow = std::make_unique<FlowController> (stage.get(), inspector.get());

    // The stage at a scale that fits it into the window, the inspector on
    // the right, as the main window shows them.
    window->addAndMakeVisible (*stage);
    stage->setTransform (juce::AffineTransform::scale (0.009f));
    window->addAndMakeVisible (*inspector);
    inspector->setBounds (900, 0, 290, 700);
    window->addToDesktop (juce::ComponentPeer::windowIsTemporary);
    window->setVisible (true);
    return *flow;
}

FlowController& ControllerHarness::restart()
{
    quit();
    return start();
}

void ControllerHarness::quit()
{
    inspector.reset();
    stage.reset();
    flow.reset();
    window.reset();
}

juce::Array<StageItem*> ControllerHarness::sliceItems() const
{
    juce::Array<StageItem*> items;

    for (auto* screen : flow->model->screens)
        for (auto* slice : screen->slices)
            items.add (slice->getStageItem());

    return items;
}

juce::Array<StageItem*> ControllerHarness::focalItems() const
{
    juce::Array<StageItem*> items;

    for (auto* look : flow->model->looks)
        for (auto* focal : look->focals)
            items.add (focal->getStageItem());

    return items;
}

bool ControllerHarness::waitForSave (int timeoutMs)
{
    return pumpUntil ([this] { return ! flow->isSaving(); }, timeoutMs);
}

int countWrites (const juce::File& file, int ms)
{
    auto last = fileModificationMilliseconds (file.getFullPathName());
    int writes = 0;
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) ms;

    while (juce::Time::getMillisecondCounter() < end)
    {
        pumpMessageLoop (5);
        const auto now = fileModificationMilliseconds (file.getFullPathName());

        if (now != last)
        {
            ++writes;
            last = now;
        }
    }

    return writes;
}

juce::MemoryBlock fileBytes (const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData (block);
    return block;
}

juce::File writePngFile (const juce::String& name, int width, int height)
{
    juce::Image image (juce::Image::RGB, width, height, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::darkcyan);
    g.setColour (juce::Colours::orange);
    g.drawEllipse (image.getBounds().toFloat().reduced (4.0f), 3.0f);

    const auto file = testHome().getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::PNGImageFormat().writeImageToStream (image, out);
    return file;
}
} // namespace corvadine::test
