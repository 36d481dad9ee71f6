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

std::map<juce::String, double>& goals()
{
    static std::map<juce::String, double> registered;
    return registered;
}
std::map<juce::String, Figure>& figures()
{
    static std::map<juce::String, Figure> recorded;
    return recorded;
}
} // namespace

void recordFigureMilliseconds (const juce::String& name, double milliseconds)
{
    figures()[name].values.push_back (milliseconds);
}

void setFigureGoalMilliseconds (const juce::String& name, double milliseconds)
{
    figures()[name].goalMs = milliseconds;
}

const std::map<juce::String, Figure>& recordedFigures()
{
    return figures();
}

void setGoalMilliseconds (const juce::String& benchmarkName, double milliseconds)
{
    goals()[benchmarkName] = milliseconds;
}

const std::map<juce::String, double>& registeredGoalsMilliseconds()
{
    return goals();
}

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
