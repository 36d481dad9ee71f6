#pragma once

#include <juce_data_structures/juce_data_structures.h>

// The contract between a written document and the host's plug-ins, as a
// checker for tests: it walks a document the way "FFGLCorvadine" and
// "FFGLCorvadineTestCard" read it and lists every rule the document breaks.
// Extends the mesh checks of the "looks" subtree (tests/model/MeshChecks)
// to the whole document.
namespace corvadine::test
{
struct DocumentContractOptions
{
    // Also require every mapping vertex's x and y within -1 .. 1 and u and v
    // within 0 .. 1: what slices inside the composition, each covered whole
    // by its focal, give.
    bool valuesInRange = false;
    // Require the "bgImage" child (absent after the guide was removed).
    bool requireGuide = false;
};

// Checks a document tree:
// - the root is "Corvadine" with a "version"; "assFile", "arenaScreens" and
//   "looks" stand once each, "bgImage" at most once;
// - "assFile": "x" and "y" whole numbers not below 0 where given (an
//   empty "assFile" stands for no link to a host file yet);
// - "bgImage", unless empty: "file", "bounds" and a "position";
// - "arenaScreens": "screen" elements with "name", "uniqueId" (64-bit) and
//   "enabled"; their "slice" elements with "name", "uniqueId", the "points"
//   "path" (with a finite "rotation") and "outputPoints", and a "position"
//   whose "transform" holds six finite numbers and whose "finalRotation" is
//   finite;
// - "looks": numbering and layout of every "vertices" (each "index" a vertex
//   that exists, counted across the whole subtree), finite values, look
//   resolutions not below 0, four finite "sampleUvs", each focal's "uId" of
//   32 lowercase hexadecimal digits, and its "shared" list agreeing with the
//   "vertices" beside it: for every other focal of the look, in order, each
//   of this focal's slices that the other focal also has vertices for;
// - every number anywhere in the document is finite.
// Returns the problems found, empty for a document that keeps the contract.
juce::StringArray checkDocumentContract (const juce::ValueTree& document, DocumentContractOptions options = {});

// The same for a written file, read back through the project's safe XML
// parser; a file that does not parse is one problem.
juce::StringArray checkDocumentFile (const juce::File& file, DocumentContractOptions options = {});
} // namespace corvadine::test
