// Checks written documents against the plug-ins' contract from the command
// line, for scripts that run the real application:
//   corvadine_contract_check [--in-range] FILE...
// Prints every problem of every file and exits with 1 when there is one.
#include "support/DocumentContract.h"

#include <iostream>

int main (int argc, char** argv)
{
    corvadine::test::DocumentContractOptions options;
    int files = 0, failed = 0;

    for (int i = 1; i < argc; ++i)
    {
        const juce::String argument (juce::CharPointer_UTF8 (argv[i]));

        if (argument == "--in-range")
        {
            options.valuesInRange = true;
            continue;
        }

        ++files;
        const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (argument);
        const auto problems = corvadine::test::checkDocumentFile (file, options);

        for (const auto& problem : problems)
            std::cout << file.getFullPathName() << ": " << problem << "\n";

        if (! problems.isEmpty())
            ++failed;
    }

    if (files == 0)
    {
        std::cerr << "usage: corvadine_contract_check [--in-range] FILE...\n";
        return 2;
    }

    std::cout << (files - failed) << " of " << files << " documents keep the contract\n";
    return failed == 0 ? 0 : 1;
}
