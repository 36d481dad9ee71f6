// The host's screen-setup files as the importer and the re-read of the
// watched file read them: the bytes through the safe XML parser, the
// screen-setup element located, its screens parsed and the composition size
// looked up both ways; and the relink's one-pass reader of the same bytes,
// which must give exactly what the functions on juce::XmlElement give.
#include "FuzzChecks.h"

#include "host/CompositionSize.h"
#include "host/HostXmlFile.h"
#include "host/ScreenSetupFile.h"
#include "host/ScreenSetupFormat.h"

using namespace corvadine;

namespace
{
void checkSize (juce::Point<int> size, const char* what)
{
    fuzz::check (size.x > 0 && size.y > 0, what);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto root = parseHostXmlBytes (data, size);

    juce::String difference;

    if (! sameScreenSetupRead (readScreenSetupBytes (data, size), readScreenSetupElement (root.get()), difference))
    {
        std::fprintf (stderr, "one-pass reader differs: %s\n", difference.toRawUTF8());
        fuzz::fail ("one-pass reader against the element functions");
    }

    if (root == nullptr)
        return 0;

    auto* setup = findScreenSetupElement (*root);

    for (const auto& screen : parseScreens (setup))
        fuzz::checkFinite (screen);

    // The root stands in for the composition file, which holds the
    // "CompositionInfo" fallback.
    checkSize (importCompositionSize (setup, root.get()), "import composition size");
    checkSize (importCompositionSize (setup, nullptr), "import composition size without composition");
    checkSize (importCompositionSize (nullptr, root.get()), "import composition size without setup");
    checkSize (relinkCompositionSize (setup), "relink composition size");
    checkSize (compositionSizeFromElement (*root), "composition size of the root");
    return 0;
}
