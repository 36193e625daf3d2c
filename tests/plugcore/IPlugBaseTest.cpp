#include "TestPlug.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(IPlugBase, ParsesTheChannelSpec)
{
    TestPlug plug;
    ASSERT_EQ(plug.NChannelIOPairs(), 2);
    EXPECT_EQ(plug.GetChannelIOPair(0)->nIn, 1);
    EXPECT_EQ(plug.GetChannelIOPair(0)->nOut, 2);
    EXPECT_EQ(plug.GetChannelIOPair(1)->nIn, 2);
    EXPECT_EQ(plug.GetChannelIOPair(1)->nOut, 2);
    EXPECT_EQ(plug.NInChannels(), 2);
    EXPECT_EQ(plug.NOutChannels(), 2);

    TestPlug none(0, nullptr, 0);
    EXPECT_EQ(none.NChannelIOPairs(), 0);
    EXPECT_EQ(none.NInChannels(), 0);

    TestPlug wide(1, "2-2 4-6 1-1", 0);
    EXPECT_EQ(wide.NChannelIOPairs(), 3);
    EXPECT_EQ(wide.NInChannels(), 4);
    EXPECT_EQ(wide.NOutChannels(), 6);
}

TEST(IPlugBase, LegalIO)
{
    TestPlug plug;
    const struct {
        int in, out;
        bool legal;
    } cases[] = {{1, -1, true}, {-1, 2, true},  {2, 2, true},  {1, 2, true}, {-1, -1, true},
                 {1, 1, false}, {3, -1, false}, {2, 1, false}, {0, 2, false}};
    for (const auto& c : cases) EXPECT_EQ(plug.LegalIO(c.in, c.out), c.legal) << c.in << "-" << c.out;
}

TEST(IPlugBase, IdentityAndVersion)
{
    TestPlug plug;
    EXPECT_EQ(plug.GetEffectVersion(true), 10200);
    EXPECT_EQ(plug.GetEffectVersion(false), 0x10200);
    char text[MAX_VERSION_STR_LEN];
    plug.GetEffectVersionText(text);
    EXPECT_STREQ(text, "v1.2");

    EXPECT_EQ(plug.GetSampleRate(), 44100.0);
    EXPECT_EQ(plug.GetBlockSize(), 0);
    EXPECT_EQ(plug.IdentifyHost(), -1);
    EXPECT_STREQ(plug.GetPresetName(0), "- 0 -");
    EXPECT_STREQ(plug.GetPresetName(11), "- 11 -");
}

TEST(IPlugBase, SetHostRecordsIdentifierAndVersion)
{
    TestPlug plug;
    plug.SetHost("REAPER", 0x50a03);
    EXPECT_EQ(plug.IdentifyHost(), 1);
    EXPECT_EQ(plug.GetHostVersion(), 0x50a03);
    plug.SetHost("", 0);
    EXPECT_EQ(plug.IdentifyHost(), 0);
    EXPECT_EQ(plug.GetHostVersion(), 0);
}

// Drives one block through the base's attach-and-run path with the default pass-through.
struct Block {
    std::vector<float> in0, in1, out0, out1;
    explicit Block(int n) : in0(n), in1(n), out0(n, 9.0f), out1(n, 9.0f)
    {
        for (int i = 0; i < n; ++i) {
            in0[i] = 0.5f + static_cast<float>(i);
            in1[i] = -0.25f - static_cast<float>(i);
        }
    }
};

TEST(IPlugBase, SetMaxBlockSizeZeroFillsOnlyOnChange)
{
    TestPlug plug;
    plug.SetInputConnections(0, 2, true);
    plug.SetOutputConnections(0, 2, true);
    plug.SetMaxBlockSize(8);
    EXPECT_EQ(plug.GetBlockSize(), 8);

    // Fill input 1's scratch through a float attach, then disconnect it without clearing by hand.
    Block b(8);
    float* ins[] = {b.in0.data(), b.in1.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputs(0, 2, ins, 8);
    plug.AttachOutputs(0, 2, outs);
    plug.RunProcessFloat(8);
    EXPECT_EQ(b.out1[3], b.in1[3]);

    plug.SetMaxBlockSize(8); // same size: nothing happens
    plug.AttachInputs(0, 2, ins, 8);
    plug.SetMaxBlockSize(16);
    EXPECT_EQ(plug.GetBlockSize(), 16);
    plug.SetOutputConnections(1, 1, false);
    plug.AttachOutputs(0, 2, outs);
    plug.SetInputConnections(1, 1, false);
    plug.AttachInputs(0, 2, ins, 8);
    std::fill(b.out1.begin(), b.out1.end(), 9.0f);
    plug.RunProcessFloat(8);
    EXPECT_EQ(b.out1[0], 9.0f); // output 1 unconnected: its result is discarded
}

TEST(IPlugBase, UnconnectedInputReadsSilenceAndConsumesNoHostArray)
{
    TestPlug plug;
    plug.SetInputConnections(0, 2, true);
    plug.SetOutputConnections(0, 2, true);
    plug.SetMaxBlockSize(16);

    Block first(16);
    float* ins2[] = {first.in0.data(), first.in1.data()};
    float* outs[] = {first.out0.data(), first.out1.data()};
    plug.AttachInputs(0, 2, ins2, 16);
    plug.AttachOutputs(0, 2, outs);
    plug.RunProcessFloat(16); // input 1's scratch now holds audio

    plug.SetInputConnections(1, 1, false);
    Block b(16);
    float* ins1[] = {b.in0.data()}; // a mono host hands over one array only
    float* outs2[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputs(0, 2, ins1, 16);
    plug.AttachOutputs(0, 2, outs2);
    plug.RunProcessFloat(16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(b.out0[i], b.in0[i]);
        EXPECT_EQ(b.out1[i], 0.0f) << i;
    }
}

TEST(IPlugBase, UnconnectedChannelsSurviveABiggerBlockSize)
{
    TestPlug plug;
    plug.SetInputConnections(0, 1, true);
    plug.SetOutputConnections(0, 2, true);
    plug.SetMaxBlockSize(1024);
    plug.SetInputConnections(1, 1, false);
    plug.SetMaxBlockSize(8192); // moves every scratch block

    std::vector<double> in(8192, 0.5), out0(8192), out1(8192, 7.0);
    double* ins[] = {in.data()};
    double* outs[] = {out0.data(), out1.data()};
    plug.AttachInputs(0, 2, ins, 8192);
    plug.AttachOutputs(0, 2, outs);
    plug.RunProcess(8192); // under ASan a stale scratch pointer would be a use after free
    EXPECT_EQ(out0[8191], 0.5);
    EXPECT_EQ(out1[8191], 0.0);
}

TEST(IPlugBase, ReplacingOverwritesAndAccumulatingAdds)
{
    TestPlug plug;
    plug.SetInputConnections(0, 2, true);
    plug.SetOutputConnections(0, 2, true);
    plug.SetMaxBlockSize(64);
    for (int n : {0, 1, 3, 4, 5, 7, 64}) {
        Block b(n);
        float* ins[] = {b.in0.data(), b.in1.data()};
        float* outs[] = {b.out0.data(), b.out1.data()};
        plug.AttachInputs(0, 2, ins, n);
        plug.AttachOutputs(0, 2, outs);
        plug.RunProcessFloat(n);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(b.out0[i], b.in0[i]);
            EXPECT_EQ(b.out1[i], b.in1[i]);
        }
        plug.AttachInputs(0, 2, ins, n);
        plug.AttachOutputs(0, 2, outs);
        plug.RunProcessAccumulating(n);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(b.out0[i], static_cast<float>(2.0 * b.in0[i])) << n << ":" << i;
            EXPECT_EQ(b.out1[i], static_cast<float>(2.0 * b.in1[i]));
        }
    }
}

TEST(IPlugBase, DoubleAttachUsesTheHostArraysDirectly)
{
    TestPlug plug;
    plug.SetInputConnections(0, 2, true);
    plug.SetOutputConnections(0, 2, true);
    plug.SetMaxBlockSize(4);
    double in0[] = {1, 2, 3, 4}, in1[] = {5, 6, 7, 8}, out0[4] = {}, out1[4] = {};
    double* ins[] = {in0, in1};
    double* outs[] = {out0, out1};
    plug.AttachInputs(0, 2, ins, 4);
    plug.AttachOutputs(0, 2, outs);
    plug.RunProcess(4);
    EXPECT_EQ(out1[3], 8);

    // A layout with more outputs than inputs silences the extra outputs.
    TestPlug wide(0, "1-2", 0);
    wide.SetInputConnections(0, 1, true);
    wide.SetOutputConnections(0, 2, true);
    wide.SetMaxBlockSize(4);
    double* ins1[] = {in0};
    out1[0] = 99;
    wide.AttachInputs(0, 1, ins1, 4);
    wide.AttachOutputs(0, 2, outs);
    wide.RunProcess(4);
    EXPECT_EQ(out0[2], 3);
    EXPECT_EQ(out1[0], 0);
}

TEST(IPlugBase, RestrictToStereo)
{
    TestPlug wide(0, "4-4", 0);
    wide.SetInputConnections(0, 4, true);
    wide.SetOutputConnections(0, 4, false);
    wide.RestrictToStereo();
    EXPECT_TRUE(wide.IsInputConnected(1));
    EXPECT_FALSE(wide.IsInputConnected(2));
    EXPECT_FALSE(wide.IsInputConnected(3));
    EXPECT_FALSE(wide.IsOutputConnected(1));
    EXPECT_TRUE(wide.IsOutputConnected(2));
    EXPECT_TRUE(wide.IsOutputConnected(3));
    EXPECT_FALSE(wide.IsInputConnected(4));
    EXPECT_FALSE(wide.IsInputConnected(-1));
}

TEST(IPlugBase, SetParameterFromGUIReportsBeforeTheChange)
{
    TestPlug plug;
    plug.SetParameterFromGUI(1, 1.0);
    ASSERT_EQ(plug.log.size(), 2u);
    EXPECT_EQ(plug.log[0], "report 1 1.000000 was 0.000000");
    EXPECT_EQ(plug.log[1], "change 1 0.750000");
}

TEST(IPlugBase, NotifyAllParamsChangedRunsEveryHandlerThenReset)
{
    TestPlug plug;
    plug.NotifyAllParamsChanged();
    EXPECT_EQ(plug.log, (std::vector<std::string>{"change 0 0.000000", "change 1 0.000000", "reset"}));
}

// The core's side of an editor: what it is told and asked, in order.
class RecordingEditor : public IPlugEditor {
public:
    explicit RecordingEditor(std::vector<std::string>* log) : m_log(log) {}
    ~RecordingEditor() override { m_log->push_back("editor destroyed"); }
    void OnParamChange(int idx, double v) override
    {
        m_log->push_back("told " + std::to_string(idx) + " " + std::to_string(v));
    }
    int Width() const override { return 275; }
    int Height() const override { return 212; }
    bool CanOpenInHost() const override { return false; }
    void* OpenWindow(void*) override { return nullptr; }
    void CloseWindow() override { m_log->push_back("close"); }
    void PrepareDrawing() override { m_log->push_back("prepare"); }
    void ShowParamChanges() override { m_log->push_back("show"); }

private:
    std::vector<std::string>* m_log;
};

TEST(IPlugBase, EditorIsShownValuesAndOwned)
{
    std::vector<std::string> editorLog;
    {
        TestPlug plug;
        plug.GetParam(1)->Set(0.375);
        plug.SetEditor(nullptr);
        EXPECT_EQ(plug.GetGUI(), nullptr);

        auto* gui = new RecordingEditor(&editorLog);
        plug.SetEditor(gui);
        EXPECT_EQ(plug.GetGUI(), gui);
        // Normalised: 0.375 in -0.75..0.75 is 0.75.
        EXPECT_EQ(editorLog, (std::vector<std::string>{"told 0 0.000000", "told 1 0.750000", "show", "prepare"}));

        editorLog.clear();
        plug.GetParam(0)->Set(1.0);
        plug.GetParam(1)->Set(-0.75);
        plug.RefreshEditor();
        EXPECT_EQ(editorLog, (std::vector<std::string>{"told 0 1.000000", "told 1 0.000000"}));
        editorLog.clear();
    }
    EXPECT_EQ(editorLog, (std::vector<std::string>{"editor destroyed"}));
}

TEST(IPlugBase, MutexIsReentrantAndExcludesOtherThreads)
{
    TestPlug plug;
    plug.GetMutex().Enter();
    plug.NotifyAllParamsChanged(); // handlers lock again on this thread
    bool entered = false;
    std::thread other([&] {
        MutexLock lock(plug.GetMutex());
        entered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(entered);
    plug.GetMutex().Leave();
    other.join();
    EXPECT_TRUE(entered);
}

TEST(IPlugBase, MidiDefaults)
{
    TestPlug plug;
    char name[8] = "junk";
    EXPECT_FALSE(plug.GetMidiNoteName(60, name));
    EXPECT_STREQ(name, "");
}

} // namespace
