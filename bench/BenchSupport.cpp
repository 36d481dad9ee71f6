#include "BenchSupport.h"

namespace corvadine::bench
{
namespace
{
juce::File& folder()
{
    static juce::File made;
    return made;
}
} // namespace

juce::File scratchFolder()
{
    if (folder() == juce::File())
    {
        folder() = juce::File::createTempFile ("corvadine-bench");
        folder().createDirectory();
    }

    return folder();
}

void removeScratchFolder()
{
    if (folder() != juce::File())
        folder().deleteRecursively();
}
} // namespace corvadine::bench
