// Memory running out anywhere in a whole job. The job (three raster pages,
// device parameters, print file, information log) runs through the COM
// interface as the driver host drives it; allocation number n fails, both
// the plug-in's C++ allocations (operator new, replaced in this program) and
// the blocks of the simulated heap. For every n until the job no longer
// reaches n: nothing crashes or escapes the interface, the plug-in's
// counters and the heap are back where they started, every reference is
// given back, and the next job in the same state folder prints the same
// bytes as a job that never saw a failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/format.h"
#include "core/jobheap.h"
#include "core/regvalues.h"
#include "platform/platform.h"
#include "platform/sim.h"
#include "plugin/cmdcallback.h"
#include "plugin/intrface.h"
#include "support/jobsetup.h"

KX_EXPORT HRESULT KX_STDCALL DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
KX_EXPORT HRESULT KX_STDCALL DllCanUnloadNow();

namespace {

// The allocation budget: while armed, gLeft allocations succeed; after that
// one fails (gOnce) or all fail.
bool gArmed = false;
bool gOnce = false;
long gLeft = 0;

bool FailThisAllocation()
{
    if (!gArmed) return false;
    if (gLeft > 0) {
        --gLeft;
        return false;
    }
    if (gOnce) gArmed = false;
    return true;
}

}  // namespace

// The replacements pair malloc with free; GCC sees the free of an
// operator-new block where it inlines them and would warn.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    if (FailThisAllocation()) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
// The nothrow and array forms go the same way, so that every block of the
// program comes from one allocator (the sanitizer checks the pairing).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (FailThisAllocation()) return nullptr;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

namespace {

using kxtest::JobPrinter;
using kxtest::TestDevice;

constexpr LONG kWidth = 64;  // dots of a band row
constexpr LONG kRows = 48;   // rows of a page (one band)

// One job from DllGetClassObject to Release. Failures are answers here, not
// test failures: the run goes on the way a driver host goes on.
void RunJob(TestDevice& d)
{
    d.devobj.pdevOEM = nullptr;  // the plug-in's EnablePDEV makes the device state
    IClassFactory* factory = nullptr;
    if (DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, reinterpret_cast<void**>(&factory)) !=
        S_OK)
        return;
    IPrintOemUni* uni = nullptr;
    factory->CreateInstance(nullptr, IID_IPrintOemUni, reinterpret_cast<void**>(&uni));
    factory->Release();
    if (!uni) return;
    uni->PublishDriverInterface(&d.uni);
    DRVENABLEDATA hooks{};
    uni->EnableDriver(0x10000, sizeof(hooks), &hooks);

    GDIINFO gdi{};
    gdi.cBitsPixel = 1;
    gdi.ulNumColors = 2;
    DEVINFO devinfo{};
    DRVENABLEDATA host{};
    PDEVOEM pdevOEM = nullptr;
    WCHAR name[] = u"KX Test Printer";
    uni->EnablePDEV(d.dev(), name, 0, nullptr, sizeof(gdi), &gdi, sizeof(devinfo), &devinfo, &host,
                    &pdevOEM);
    d.devobj.pdevOEM = pdevOEM;
    if (pdevOEM) {
        SURFOBJ surface{};
        surface.dhpdev = d.dev();
        for (ULONG i = 0; i < hooks.c; ++i)
            if (hooks.pdrvfn[i].iFunc == INDEX_DrvStartDoc)
                reinterpret_cast<PFN_DrvStartDoc>(hooks.pdrvfn[i].pfn)(&surface, nullptr,
                                                                       kxtest::kJobId);
        // Nothing on this side allocates while the plug-in runs.
        auto cmd = [&](DWORD id, DWORD count = 0, DWORD p0 = 0, DWORD p1 = 0, DWORD p2 = 0) {
            DWORD params[3] = {p0, p1, p2};
            INT result = 0;
            uni->CommandCallback(d.dev(), id, count, count ? params : nullptr, &result);
        };
        cmd(kx::CMDID_START_JOB);
        cmd(kx::CMDID_START_DOC);
        cmd(kx::CMDID_CUSTOM_PAPERSIZE, 3, 1181, 591, 0);
        cmd(kx::CMDID_COPIES, 1, 1);
        for (int page = 0; page < 3; ++page) {
            cmd(kx::CMDID_START_PAGE);
            // A white page (set bits) with a black bar on a row of its own.
            BYTE bits[kRows * kWidth / 8];
            std::memset(bits, 0xFF, sizeof(bits));
            std::memset(bits + (4 + 8 * page) * kWidth / 8, 0x00, kWidth / 8);
            BITMAPINFOHEADER band{};
            band.biSize = sizeof(band);
            band.biWidth = kWidth;
            band.biHeight = kRows;
            band.biPlanes = 1;
            band.biBitCount = 1;
            band.biSizeImage = sizeof(bits);
            IPPARAMS ip{};
            ip.dwSize = sizeof(ip);
            PBYTE result = nullptr;
            uni->ImageProcessing(d.dev(), bits, &band, nullptr, 1, &ip, &result);
            cmd(kx::CMDID_END_PAGE);
        }
        cmd(kx::CMDID_END_DOC);
        cmd(kx::CMDID_END_JOB);
        uni->DisablePDEV(d.dev());
    }
    uni->DisableDriver();
    uni->Release();
}

class AllocationFailure : public ::testing::Test {
protected:
    kxtest::SimSandbox sandbox;
    JobPrinter printer;

    void SetUp() override
    {
        ASSERT_TRUE(kx::plat::CreateDirectory(u"C:\\out"));
        PRN_INTERFACE pi = kxtest::QuietInterface();
        pi.dwSendGerParam = 0;    // device parameters in the stream
        pi.dwPrnFileComment = 1;  // print file with comments
        pi.bLogFileEnable = 1;
        ASSERT_TRUE(SUCCEEDED(kx::Copy(pi.wcLogFilePath, PRN_PATH_CHARS, u"C:\\out\\")));
        printer.SetInterface(pi);
        kx::plat::sim::SetHeapFaultHook(&FailThisAllocation);
    }
    void TearDown() override { kx::plat::sim::SetHeapFaultHook(nullptr); }

    // A job without failures on a fresh device context: the spooler stream.
    std::string CleanJob()
    {
        TestDevice d(false);
        kxtest::PrepareForJob(d, printer);
        RunJob(d);
        return d.uni.spool;
    }
    bool BrokenJobMarked() const
    {
        std::uint32_t v = 0;
        return kx::plat::RegGetDword(kx::plat::Hive::CurrentUser, printer.RegKey(),
                                     kx::reg::kDAAbbruch, &v) &&
               v != 0;
    }
};

// Every allocation of one whole job fails in turn, once and from there on.
// (The job start must not build its header lines as an initialised array of
// strings: GCC 12 destroys an element twice when an allocation fails in the
// middle of such an initialisation.)
TEST_F(AllocationFailure, EveryAllocationOfAJobMayFail)
{
    const std::string reference = CleanJob();
    ASSERT_NE(reference.find("^FBC"), std::string::npos) << kxtest::Escape(reference);
    const int uniBlocks = kx::iHAllocZaehlerUNI;
    const int uniObjects = kx::iNewZaehlerUNI;
    const std::int64_t heapBlocks = kx::plat::GetHeapStats().liveBlocks;

    for (bool once : {true, false}) {
        for (long n = 0;; ++n) {
            SCOPED_TRACE(testing::Message() << (once ? "only" : "from") << " allocation " << n);
            bool reached;
            {
                TestDevice d(false);
                kxtest::PrepareForJob(d, printer);
                d.uni.spool.reserve(reference.size() * 2);  // the host's side does not allocate
                gOnce = once;
                gLeft = n;
                gArmed = true;
                RunJob(d);
                reached = gLeft == 0;
                gArmed = false;
                EXPECT_EQ(d.uni.refs, 1u);
                EXPECT_EQ(d.devobj.pdevOEM, nullptr);
            }
            EXPECT_EQ(DllCanUnloadNow(), S_OK);
            EXPECT_EQ(kx::iHAllocZaehlerUNI, uniBlocks);
            EXPECT_EQ(kx::iNewZaehlerUNI, uniObjects);
            EXPECT_EQ(kx::plat::GetHeapStats().liveBlocks, heapBlocks);
            // A job ended by DisablePDEV is continued by the next one (its
            // page numbers go on); the job after that is a fresh one again.
            if (BrokenJobMarked()) CleanJob();
            EXPECT_TRUE(kxtest::BytesEqual(reference, CleanJob()));
            if (!reached || HasFailure()) break;
        }
    }
}

}  // namespace
