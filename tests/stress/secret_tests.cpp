// Where a plaintext passphrase stays after the module has handled it, searched whole and in
// pieces of 8 units. Every copy the module's own code makes (records, dialog buffers, decoded
// and unprotected blobs) is wiped before it is released: a watch on the shipped DLL's own
// frees proves it. A stored passphrase never enters an edit box; the boxes' text buffers,
// which the window system frees unwiped, are overwritten by the dialog before it closes over
// the longest text they held (a second watch proves that), and their undo buffers with them.
// What only the platform holds (the data-protection service's buffers, the copies the edit
// boxes make and free on their own, the window system's copies of message texts) is counted
// and printed.
#include "dialog_driver.h"
#include "free_watch.h"
#include "shipped_module.h"
#include "stress_support.h"

#include "fragments/ccx_settings.h"
#include "fragments/dpt_settings.h"
#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Literals only: the test itself keeps no copy on its heap or stack.
constexpr wchar_t StoredSecret[] = L"Tq4-stored-Keep-Out-9z";
#define QMK_TYPED_SECRET L"Kx7-typed-Wipe-Me-3w"
constexpr wchar_t TypedSecret[] = QMK_TYPED_SECRET;
// What the person types: the passphrase twice into the key box, once into the confirmation
// box, then again into the key box (which selects its text when it takes the focus) with a
// typing error put right.
constexpr wchar_t TypedTwice[] = QMK_TYPED_SECRET QMK_TYPED_SECRET;
constexpr wchar_t Retyped[] = L"Kx7-typed-Wipe-Mx\be-3w";
constexpr GUID SecretAdapter = {0x7a3c0e11, 0x5b2d, 0x4c8f, {0x81, 0x20, 0, 0, 0, 0, 0x53, 0x45}};

constexpr int UsePrivatePassphraseId = 4403;
constexpr int KeyBoxId = 4067;
constexpr int ConfirmationBoxId = 4036;

void Print(const char* when, const SecretSightings& seen) {
    std::printf("%-44s busy heap blocks %d, free heap regions %d, stack below the caller %d\n",
                when, seen.busyHeapBlocks, seen.freeHeapRegions, seen.stackCopies);
    std::fflush(stdout);
}

// A section with the stored passphrase and a CCX setting out of range, so that EditSettings
// unprotects the passphrase, resets the CCX settings and protects the passphrase again.
UniqueBstr SectionWithStoredPassphrase() {
    UniqueBstr key = ProtectPassphrase(StoredSecret);
    if (!key) {
        return {};
    }
    std::wstring text = L"<Quilmark xmlns=\"v1\"><CCX xmlns=\"any\"><KeepAliveTimer><Period>999"
                        L"</Period></KeepAliveTimer></CCX><DPT xmlns=\"dptv1\"><useDPTPrivateKey>"
                        L"true</useDPTPrivateKey><DPTPrivateKey>";
    text += key.get();
    text += L"</DPTPrivateKey><DPTEncryption>AES</DPTEncryption></DPT></Quilmark>";
    return UniqueBstr(SysAllocString(text.c_str()));
}

bool SectionHoldsPassphrase(BSTR section, const wchar_t* passphrase) {
    DptSettings read;
    return SUCCEEDED(ReadDptFragment(read, section)) &&
           std::wcscmp(read.passphrase, passphrase) == 0;
}

constexpr wchar_t ProbeSecret[] = L"Pw2-probe-Left-Behind-5v";

// Leaves a copy in a frame that then returns.
__attribute__((noinline)) void CopyOntoTheStack() {
    wchar_t copy[32] = {};
    std::memcpy(copy, ProbeSecret, sizeof(ProbeSecret));
    asm volatile("" : : "r"(copy) : "memory"); // the copy is made, not optimised away
}

// The search finds what is left behind: a block freed without wiping, a block still held,
// and a frame below the caller.
TEST(SecretSearchTest, FindsCopiesLeftOnTheHeapAndTheStack) {
    ASSERT_EQ(0, FindSecret(ProbeSecret).busyHeapBlocks);
    int freedUnwiped = 0;
    for (DWORD size : {256u, 4000u, 70000u}) {
        auto* held = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size));
        ASSERT_NE(nullptr, held);
        std::memcpy(held, ProbeSecret, sizeof(ProbeSecret));
        EXPECT_EQ(1, FindSecret(ProbeSecret).busyHeapBlocks) << size;
        void* volatile freed = std::malloc(size);
        std::memcpy(freed, ProbeSecret, sizeof(ProbeSecret));
        std::free(freed);
        const SecretSightings seen = FindSecret(ProbeSecret);
        // Blocks of 64 KB and more go back to the system whole; the others stay behind.
        if (size < 65536) {
            ++freedUnwiped;
        }
        EXPECT_EQ(freedUnwiped, seen.freeHeapRegions) << size;
        EXPECT_EQ(1, seen.busyHeapBlocks) << size;
        SecureZeroMemory(held, size);
        HeapFree(GetProcessHeap(), 0, held);
    }
    CallBelowStackPad(CopyOntoTheStack);
    EXPECT_EQ(1, FindSecret(ProbeSecret).stackCopies);
}

// The watch on the DLL's frees sees a text the DLL releases as it is: the completeness check
// of a key property writes a fragment and frees it, unwiped as it holds no secret.
TEST(SecretSearchTest, TheFreeWatchSeesWhatTheModuleReleases) {
    ComApartment apartment;
    ComPtr<IClassFactory> factory = ShippedModuleFactory();
    ComPtr<ICCXExtUIKey> key = CreateKeyObject(factory.Get(), 0);
    ASSERT_TRUE(key);
    ModuleFreeWatch watch(ShippedModule(), {L"openNetwork"});
    ASSERT_TRUE(watch.installed());
    BOOL matches = FALSE;
    EXPECT_HR(S_OK,
              key->MatchesProfile(HostText(L"<CCX><openNetwork/></CCX>").get(), nullptr, &matches));
    EXPECT_LT(0, watch.blocksHoldingSecret());
}

// Both kinds of watch side by side, twice: each puts back exactly what it replaced.
TEST(SecretSearchTest, BothWatchesCanBeSetUpAgain) {
    for (int round = 0; round < 2; ++round) {
        ModuleFreeWatch own(ShippedModule(), {ProbeSecret});
        ModuleFreeWatch boxes(GetModuleHandleW(L"user32.dll"), {ProbeSecret},
                              ModuleFreeWatch::Releases::WindowSystem);
        EXPECT_TRUE(own.installed()) << round;
        EXPECT_TRUE(boxes.installed()) << round;
    }
}

class SecretTest : public StressRegistryTest {
  protected:
    SecretTest() {
        OwnKey(HKEY_LOCAL_MACHINE, PolicyKeyPath);
        OwnKey(HKEY_LOCAL_MACHINE, TestAdapterKey(L"QmkSecret0000"));
    }
};

TEST_F(SecretTest, EditSettingsWithAStoredPassphraseWipesEveryCopyItMakes) {
    DisplayLease display;
    ASSERT_TRUE(display.held());
    WindowDismisser dismisser; // the notice: no adapter record, no dialog
    ComPtr<IClassFactory> factory = ShippedModuleFactory();
    ComPtr<ICCXExtUICon> connectivity = CreateConnectivityObject(factory.Get());
    ASSERT_TRUE(connectivity);
    UniqueBstr section = SectionWithStoredPassphrase();
    ASSERT_TRUE(section);

    const SecretSightings before = FindSecret(StoredSecret);
    UniqueBstr rewritten;
    BOOL changed = FALSE;
    long released = 0;
    long holding = 0;
    {
        ModuleFreeWatch watch(ShippedModule(), {StoredSecret});
        ASSERT_TRUE(watch.installed());
        EXPECT_HR(S_OK, connectivity->EditSettings(nullptr, section.get(), nullptr, rewritten.put(),
                                                   &changed));
        released = watch.releasedBlocks();
        holding = watch.blocksHoldingSecret();
    }
    const SecretSightings after = FindSecret(StoredSecret);
    Print("stored passphrase, before EditSettings:", before);
    Print("stored passphrase, after EditSettings:", after);
    std::printf("blocks the module released during the call: %ld, holding the passphrase: %ld\n",
                released, holding);

    EXPECT_EQ(1, dismisser.messageBoxes());
    EXPECT_EQ(TRUE, changed);
    EXPECT_LT(0, released) << "the watch saw nothing";
    EXPECT_EQ(0, holding) << "the module released a copy of the passphrase unwiped";
    EXPECT_EQ(0, after.busyHeapBlocks) << "a copy is still held";
    EXPECT_EQ(before.stackCopies, after.stackCopies) << "a frame below left a copy";
    // The passphrase went through: the section handed back holds it, protected.
    EXPECT_TRUE(SectionHoldsPassphrase(rewritten.get(), StoredSecret));
}

struct DialogRun {
    const char* name;
    bool stored; // the section holds a stored passphrase, which the dialog shows as the placeholder
    bool typed;  // the person types a new one
    int button;  // IDOK or IDCANCEL, or one of the endings below
};
// The dialog ends without a button: its owner window is destroyed, or WM_QUIT ends its loop.
constexpr int OwnerDestroyed = -1;
constexpr int QuitPosted = -2;

void PrintTo(const DialogRun& run, std::ostream* out) {
    *out << run.name;
}

class TypedSecretTest : public SecretTest, public testing::WithParamInterface<DialogRun> {};

// Neither passphrase is left in memory the module owns or frees, nor in an edit box's buffer.
TEST_P(TypedSecretTest, APassphraseThroughTheDialogLeavesNoCopyBehind) {
    const DialogRun run = GetParam();
    ASSERT_TRUE(WriteDptAdapter(L"QmkSecret0000", SecretAdapter));
    DOT11EXT_IHV_PARAMS connection = ConnectionFor(SecretAdapter);
    UniqueBstr section = run.stored ? SectionWithStoredPassphrase() : UniqueBstr();
    ASSERT_EQ(run.stored, static_cast<bool>(section));

    UniqueBstr rewritten;
    BOOL changed = FALSE;
    HRESULT hr = E_FAIL;
    long released = 0;
    long holding = 0;
    long boxReleased = 0;
    long boxHolding = 0;
    SecretSightings afterOnUiThread[2];
    UniqueWindow owner;
    UiThread ui([&] {
        ComApartment apartment;
        ComPtr<IClassFactory> factory = ShippedModuleFactory();
        ComPtr<ICCXExtUICon> connectivity = CreateConnectivityObject(factory.Get());
        owner.reset(CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                    nullptr, nullptr, nullptr));
        if (!connectivity || !owner) {
            return;
        }
        {
            ModuleFreeWatch watch(ShippedModule(), {TypedSecret, StoredSecret});
            // The edit boxes' text buffers, which the window system frees with them.
            ModuleFreeWatch boxes(GetModuleHandleW(L"user32.dll"), {TypedSecret, StoredSecret},
                                  ModuleFreeWatch::Releases::WindowSystem);
            if (!watch.installed() || !boxes.installed()) {
                return;
            }
            CallBelowStackPad([&] {
                hr = connectivity->EditSettings(owner.get(), section.get(), &connection,
                                                rewritten.put(), &changed);
            });
            released = watch.releasedBlocks();
            holding = watch.blocksHoldingSecret();
            boxReleased = boxes.releasedBlocks();
            boxHolding = boxes.blocksHoldingSecret();
        }
        owner.reset(); // on the thread that made it
        // On the thread that ran the dialog: its stack below this frame held the call.
        afterOnUiThread[0] = FindSecret(TypedSecret);
        afterOnUiThread[1] = FindSecret(StoredSecret);
    });
    ASSERT_TRUE(ui.HoldsDisplay());
    HWND dialog = ui.WaitForDialog(L"WLAN Connection Settings");
    ASSERT_NE(nullptr, dialog);
    if (!run.stored) {
        ASSERT_TRUE(Click(dialog, UsePrivatePassphraseId));
    }
    if (run.typed) {
        // Over the placeholder the first key only empties the boxes.
        ASSERT_TRUE(!run.stored || TypeInto(ui, dialog, KeyBoxId, L"x"));
        ASSERT_TRUE(TypeInto(ui, dialog, KeyBoxId, TypedTwice));
        ASSERT_TRUE(TypeInto(ui, dialog, ConfirmationBoxId, TypedSecret));
        ASSERT_TRUE(TypeInto(ui, dialog, KeyBoxId, Retyped));
    }
    Print("typed passphrase, dialog open:", FindSecret(TypedSecret));
    Print("stored passphrase, dialog open:", FindSecret(StoredSecret));
    if (run.button == OwnerDestroyed) {
        ASSERT_TRUE(PostMessageW(owner.get(), WM_CLOSE, 0, 0)); // destroyed on its thread
    } else if (run.button == QuitPosted) {
        ASSERT_TRUE(PostThreadMessageW(ui.Id(), WM_QUIT, 0, 0));
    } else {
        ASSERT_TRUE(PostClick(dialog, run.button));
    }
    ASSERT_TRUE(ui.WaitForExit());

    Print("typed passphrase, after (UI thread):", afterOnUiThread[0]);
    Print("stored passphrase, after (UI thread):", afterOnUiThread[1]);
    std::printf("blocks the module released during the call: %ld, holding a passphrase: %ld\n",
                released, holding);
    std::printf("local blocks the window system released: %ld, holding a passphrase: %ld\n",
                boxReleased, boxHolding);

    EXPECT_HR(S_OK, hr);
    EXPECT_LT(0, released) << "the watch saw nothing";
    EXPECT_LT(0, boxReleased) << "the watch on the window system saw nothing";
    EXPECT_EQ(0, boxHolding) << "an edit box was destroyed with a passphrase in it";
    EXPECT_EQ(0, holding) << "the module released a copy of a passphrase unwiped";
    for (const SecretSightings& after : afterOnUiThread) {
        EXPECT_EQ(0, after.busyHeapBlocks) << "a copy is still held";
        EXPECT_EQ(0, after.stackCopies) << "a frame of the call left a copy";
    }
    // Without a stored passphrase the section was absent, with one its CCX settings invalid:
    // a section comes back either way, holding the passphrase that stands.
    EXPECT_EQ(TRUE, changed);
    const bool replaced = run.typed && run.button == IDOK;
    EXPECT_EQ(replaced, SectionHoldsPassphrase(rewritten.get(), TypedSecret));
    EXPECT_EQ(run.stored && !replaced, SectionHoldsPassphrase(rewritten.get(), StoredSecret));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, TypedSecretTest,
    testing::Values(DialogRun{"TypedOk", false, true, IDOK},
                    DialogRun{"TypedCancel", false, true, IDCANCEL},
                    DialogRun{"StoredKeptOk", true, false, IDOK},
                    DialogRun{"StoredReplacedOk", true, true, IDOK},
                    DialogRun{"StoredReplacedCancel", true, true, IDCANCEL},
                    DialogRun{"TypedOwnerDestroyed", false, true, OwnerDestroyed},
                    DialogRun{"StoredReplacedQuit", true, true, QuitPosted}),
    [](const testing::TestParamInfo<DialogRun>& info) { return std::string(info.param.name); });

} // namespace
