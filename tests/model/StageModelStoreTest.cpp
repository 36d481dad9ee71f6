#include "model/StageModel.h"

#include "model/DocumentFormat.h"
#include "model/FileLess.h"
#include "model/Ids.h"
#include "model/MeshChecks.h"
#include "model/PreviewMesh.h"
#include "model/RandomModels.h"
#include "stage/StageItem.h"

#include <gtest/gtest.h>

using namespace corvadine;

namespace
{
// The document as a store of the whole subtrees leaves it.
void storeAfresh (FileLess& store, StageModel& model)
{
    store.replaceChild (model.writeArenaScreensTree());
    store.replaceChild (model.writeLooksTree());
}

void storeInPlace (FileLess& store, StageModel& model)
{
    model.storeArenaScreensTree (store.document);
    model.storeLooksTree (store.document);
}

// A document as loaded from a file: its own children, in its own order.
juce::ValueTree loadedDocument()
{
    juce::ValueTree document (ids::Corvadine);
    document.setProperty (ids::version, "0.9.9", nullptr);
    document.appendChild (juce::ValueTree (ids::looks), nullptr);
    document.appendChild (juce::ValueTree (ids::assFile, { { ids::name, "/tmp/AdvancedOutput.xml" }, { ids::x, 1920 }, { ids::y, 1080 } }), nullptr);
    document.appendChild (juce::ValueTree (ids::arenaScreens), nullptr);
    document.appendChild (juce::ValueTree (ids::bgImage), nullptr);
    return document;
}

juce::MemoryBlock fileBytes (const juce::File& file)
{
    juce::MemoryBlock bytes;
    EXPECT_TRUE (file.loadFileAsData (bytes));
    return bytes;
}

// Every node of the subtree (trees compare by identity), to tell a subtree
// left alone from one written again.
juce::Array<juce::ValueTree> nodesOf (const juce::ValueTree& tree)
{
    juce::Array<juce::ValueTree> nodes;
    std::function<void (const juce::ValueTree&)> collect = [&] (const juce::ValueTree& node)
    {
        nodes.add (node);
        for (const auto& child : node)
            collect (child);
    };
    collect (tree);
    return nodes;
}
} // namespace

TEST (PreviewMesh, TheDirectBuildEqualsTheMeshReadFromTheTree)
{
    juce::Random random (160016);
    size_t valuesCompared = 0;

    for (int round = 0; round < 10; ++round)
    {
        auto model = test::randomModel (random, 1 + random.nextInt (4), 1 + random.nextInt (12), 1, 1);

        for (int edit = 0; edit < 4; ++edit)
        {
            const auto mesh = model->buildPreviewMesh();
            const auto fromTree = previewMeshFromTree (model->writeVertexDataTree());

            EXPECT_EQ (mesh.vertexValues, fromTree.vertexValues) << "round " << round;
            EXPECT_EQ (mesh.indexValues, fromTree.indexValues) << "round " << round;

            for (auto index : mesh.indexValues)
                EXPECT_TRUE (juce::isPositiveAndBelow (index, (int) mesh.vertexValues.size() / 4));

            valuesCompared += mesh.vertexValues.size();
            test::randomEdit (*model, random);
        }
    }

    EXPECT_GT (valuesCompared, 1000u);
}

// After every store of a long run of random edits, the document kept up to
// date in place holds exactly what storing whole new subtrees gives: the
// same tree node for node, the same text, the same file read back.
TEST (StoreInPlace, RandomEditsLeaveTheDocumentAsStoringWholeSubtreesWould)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("store-in-place");
    folder.createDirectory();

    juce::Random random (20261216);
    int editsMade = 0, verticesWritten = 0;

    for (int run = 0; run < 3; ++run)
    {
        auto model = test::randomModel (random, 2 + random.nextInt (2), 4 + random.nextInt (8), 2 + random.nextInt (2), 1 + random.nextInt (4));

        FileLess inPlace, afresh;
        inPlace.document = loadedDocument();
        afresh.document = loadedDocument();

        for (int step = 0; step < 30; ++step)
        {
            juce::StringArray edits;

            for (int e = random.nextInt (3); e >= 0; --e)
            {
                edits.add (test::randomEdit (*model, random));
                ++editsMade;
            }

            // The in-place store first: the whole one recomputes the same
            // coverage again, which changes nothing.
            storeInPlace (inPlace, *model);

            // As the controller stores: the screens, the host file, the looks.
            const juce::ValueTree assFile (ids::assFile, { { ids::name, "/tmp/AdvancedOutput.xml" }, { ids::x, model->compositionSize.x }, { ids::y, model->compositionSize.y } });
            if (step % 3 == 0)
            {
                model->storeArenaScreensTree (inPlace.document);
                inPlace.replaceChild (assFile.createCopy());
                model->storeLooksTree (inPlace.document);
                afresh.replaceChild (model->writeArenaScreensTree());
                afresh.replaceChild (assFile.createCopy());
                afresh.replaceChild (model->writeLooksTree());
            }
            else
            {
                storeAfresh (afresh, *model);
            }

            const auto context = "run " + juce::String (run) + ", step " + juce::String (step) + ": " + edits.joinIntoString (", ");
            ASSERT_TRUE (inPlace.document.isEquivalentTo (afresh.document)) << context;
            ASSERT_EQ (documentToText (inPlace.document), documentToText (afresh.document)) << context;

            const auto looks = inPlace.document.getChildWithName (ids::looks);
            const auto check = test::checkLooksTree (looks, false);
            ASSERT_TRUE (check.problems.isEmpty()) << context << "\n" << check.problems.joinIntoString ("\n");
            verticesWritten += check.vertexCount;
        }

        const auto inPlaceFile = folder.getChildFile ("in place " + juce::String (run) + ".xml");
        const auto afreshFile = folder.getChildFile ("afresh " + juce::String (run) + ".xml");
        ASSERT_TRUE (writeDocumentFile (inPlace.document, inPlaceFile));
        ASSERT_TRUE (writeDocumentFile (afresh.document, afreshFile));
        EXPECT_EQ (fileBytes (inPlaceFile), fileBytes (afreshFile));
        EXPECT_GT (inPlaceFile.getSize(), 1000);
    }

    EXPECT_GT (editsMade, 100);
    EXPECT_GT (verticesWritten, 1000);
    folder.deleteRecursively();
}

// A focal moved in one look leaves the nodes of every other look alone; a
// vertex count that changes renumbers the looks after it in place.
TEST (StoreInPlace, OnlyWhatChangedIsWrittenAgain)
{
    juce::Random random (77);
    auto model = test::randomModel (random, 3, 10, 3, 2);
    juce::ValueTree document (ids::Corvadine);
    model->storeArenaScreensTree (document);
    model->storeLooksTree (document);

    const auto looks = document.getChildWithName (ids::looks);
    const auto screensBefore = nodesOf (document.getChildWithName (ids::arenaScreens));
    const auto lastLookBefore = nodesOf (looks.getChild (2));

    // The first look's focal moves far enough to cover other slices.
    auto* item = model->looks[0]->focals[0]->getStageItem();
    item->setPlacement (item->committedTransform.translated (300.0f, 120.0f));
    model->storeArenaScreensTree (document);
    model->storeLooksTree (document);

    EXPECT_EQ (document.getChildWithName (ids::looks), looks);
    EXPECT_EQ (nodesOf (document.getChildWithName (ids::arenaScreens)), screensBefore);
    EXPECT_EQ (nodesOf (looks.getChild (2)), lastLookBefore); // the same nodes, renumbered or not
    EXPECT_TRUE (looks.isEquivalentTo (model->writeLooksTree()));
}

// Whatever the document holds that this model did not store, or that was
// changed since by anyone else, is written afresh.
TEST (StoreInPlace, ASubtreeNotStoredByTheModelOrChangedSinceIsWrittenAfresh)
{
    juce::Random random (5);
    auto model = test::randomModel (random, 2, 8, 2, 3);
    FileLess store;
    store.document = loadedDocument();

    // A document just loaded: its subtrees came from the file.
    storeInPlace (store, *model);
    EXPECT_TRUE (store.document.getChildWithName (ids::looks).isEquivalentTo (model->writeLooksTree()));
    EXPECT_EQ (store.document.getChild (store.document.getNumChildren() - 1).getType(), ids::looks);

    // A value changed behind the store's back.
    auto looks = store.document.getChildWithName (ids::looks);
    auto firstLook = looks.getChild (0);
    firstLook.setProperty (ids::x, -5, nullptr);
    auto screens = store.document.getChildWithName (ids::arenaScreens);
    auto firstScreen = screens.getChild (0);
    firstScreen.removeAllChildren (nullptr);

    storeInPlace (store, *model);
    EXPECT_TRUE (store.document.getChildWithName (ids::looks).isEquivalentTo (model->writeLooksTree()));
    EXPECT_TRUE (store.document.getChildWithName (ids::arenaScreens).isEquivalentTo (model->writeArenaScreensTree()));

    // A subtree stored whole in between (another store path) is taken as found.
    store.replaceChild (juce::ValueTree (ids::looks));
    storeInPlace (store, *model);
    EXPECT_TRUE (store.document.getChildWithName (ids::looks).isEquivalentTo (model->writeLooksTree()));

    // A new model (a load) starts from what the document holds.
    auto next = test::randomModel (random, 1, 5, 1, 1);
    storeInPlace (store, *next);
    EXPECT_TRUE (store.document.getChildWithName (ids::looks).isEquivalentTo (next->writeLooksTree()));
    EXPECT_TRUE (store.document.getChildWithName (ids::arenaScreens).isEquivalentTo (next->writeArenaScreensTree()));

    // An emptied document ("New") gets both subtrees again, last.
    store.document.removeAllChildren (nullptr);
    storeInPlace (store, *next);
    ASSERT_EQ (store.document.getNumChildren(), 2);
    EXPECT_EQ (store.document.getChild (0).getType(), ids::arenaScreens);
    EXPECT_EQ (store.document.getChild (1).getType(), ids::looks);
}

// A number that turns from 0 into -0 is written again: JUCE takes the two
// as equal, the file's text does not.
TEST (StoreInPlace, ASignedZeroReplacesAZero)
{
    juce::Random random (9);
    auto model = test::randomModel (random, 1, 1, 0, 0);
    auto* item = model->screens[0]->slices[0]->getStageItem();
    juce::ValueTree document (ids::Corvadine);

    item->rotation = 0.0f;
    item->pendingRotation = 0.0f;
    model->storeArenaScreensTree (document);
    const auto withZero = documentToText (document);

    item->rotation = -0.0f;
    item->pendingRotation = -0.0f;
    model->storeArenaScreensTree (document);

    juce::ValueTree afresh (ids::Corvadine);
    afresh.appendChild (model->writeArenaScreensTree(), nullptr);
    EXPECT_EQ (documentToText (document), documentToText (afresh));
    EXPECT_NE (documentToText (document), withZero);
}
