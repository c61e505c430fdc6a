// The sound card's callback must never allocate or take a lock. This program counts every
// allocation and every mutex lock made inside a callback (AudioThread marks that stretch)
// while a scripted session presses every button, switches every bank and carrier, loads a
// file and saves the recording, on a real JACK server and on the internal clock.

#include "audio/LiveLoop.h"
#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "rt/AudioThread.h"
#include "LivePump.h"
#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <numbers>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
}

namespace {

std::atomic<long> allocationsInCallback{0};
std::atomic<long> locksInCallback{0};

void noteAllocation() {
    if (AudioThread::inCallback()) allocationsInCallback.fetch_add(1, std::memory_order_relaxed);
}

using MutexLock = int (*)(pthread_mutex_t*);
MutexLock realMutexLock = nullptr;

} // namespace

// Every allocation of the process passes through here (operator new calls malloc).
extern "C" void* malloc(std::size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, std::size_t size) {
    noteAllocation();
    return __libc_realloc(pointer, size);
}
extern "C" void* memalign(std::size_t alignment, std::size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
extern "C" int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    noteAllocation();
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
extern "C" void* aligned_alloc(std::size_t alignment, std::size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
    if (AudioThread::inCallback()) locksInCallback.fetch_add(1, std::memory_order_relaxed);
    if (!realMutexLock) realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    return realMutexLock(mutex);
}

namespace {

// Load and Save answered from a script, as the window would after its dialogs.
class ScriptedHost final : public NullCommandHost {
public:
    ScriptedHost(VocoderCore& core, const TempFolder& folder) : core_(core), folder_(folder) {}
    void loadWavFiles() override {
        ScriptedDialogs dialogs;
        dialogs.openAnswers = {folder_.path() / "carrier.wav", folder_.path() / "modulator.wav"};
        ::loadWavFiles(core_.modulatorFile, core_.carrierFile, dialogs);
    }
    void saveRecording() override {
        if (!core_.recording) return;
        ScriptedDialogs dialogs;
        dialogs.rateAnswers = {SaveRate::Rate44100};
        dialogs.saveAnswers = {folder_.path() / "take.wav"};
        saved |= ::saveRecording(core_.recording->left, core_.recording->right, dialogs);
        for (const std::string& m : dialogs.messages) ADD_FAILURE() << m;
    }
    bool saved = false;

private:
    VocoderCore& core_;
    const TempFolder& folder_;
};

void runSession(const std::string& device) {
    TempFolder folder;
    folder.write("carrier.wav", wavFile(PcmFormat{1, 1, 22050, 16}, pcm16(testSignal(22050, 220, 22050))));
    folder.write("modulator.wav", wavFile(PcmFormat{}, pcm16(testSignal(11025 * 2, 300, 11025))));

    VocoderCore core;
    ScriptedHost host(core, folder);
    CommandDispatcher dispatcher(core, host);
    UnexpectedMessages events;
    BlockLoop loop(core, events);
    LiveLoop live(loop);
    WakeupSignal wake;
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::scan();
    SoundCardChoice choice;
    choice.outputChoice = catalog.outputIndex(device) + 1;
    choice.inputChoice = catalog.inputIndex(device) + 1; // 0: none, for the internal clock
    choice.bufferSlider = 8;
    choice.sixteenBit = true;
    ASSERT_GT(choice.outputChoice, 0) << device << " is not offered";
    WaveDuplex duplex(choice, catalog, wake, [](const std::string& m) { ADD_FAILURE() << m; });
    live.attach(&duplex);
    duplex.start();

    auto play = [&](int ms) { pumpFor(live, wake, ms); };
    const long allocationsBefore = allocationsInCallback.load();
    const long locksBefore = locksInCallback.load();
    play(100);
    dispatcher.dispatch(commandIdOf(control::Load));
    dispatcher.dispatch(commandIdOf(control::PlayCarrier));
    dispatcher.dispatch(commandIdOf(control::PlayModulator));
    dispatcher.dispatch(commandIdOf(control::Rec));
    for (ControlId id = kFirstButtonControl; id <= 83; ++id) {
        if (id == control::Load || id == control::Save || id == control::Rec) continue;
        dispatcher.dispatch(commandIdOf(id));
        play(15);
    }
    for (ControlId bank = control::LevelBank; bank <= control::WarpBank; ++bank) {
        dispatcher.dispatch(commandIdOf(bank));
        dispatcher.dispatch(commandIdOf(control::Randomize));
        play(15);
    }
    dispatcher.dispatch(commandIdOf(control::Rec)); // a new take, recorded while the session goes on
    play(100);
    dispatcher.dispatch(commandIdOf(control::Save));
    play(100);
    duplex.close();

    EXPECT_TRUE(host.saved);
    EXPECT_GT(live.passes(), 200u);
    EXPECT_EQ(allocationsInCallback.load() - allocationsBefore, 0) << "allocations in the sound card's callback";
    EXPECT_EQ(locksInCallback.load() - locksBefore, 0) << "locks taken in the sound card's callback";
}

TEST(RealTimeSafety, TheCallbackNeitherAllocatesNorLocksOnJack) { runSession("JACK: system"); }

TEST(RealTimeSafety, TheInternalClockNeitherAllocatesNorLocks) {
    runSession(AudioDeviceCatalog::kInternalClockName);
}

TEST(RealTimeSafety, TheCountersSeeWhatHappensInsideACallback) {
    const long before = allocationsInCallback.load();
    {
        const AudioThread::Scope pretend;
        void* p = std::malloc(16);
        std::free(p);
    }
    EXPECT_EQ(allocationsInCallback.load() - before, 1);
}

} // namespace
