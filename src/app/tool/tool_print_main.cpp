// mervo-tool-print: the printing commands of mervo-tool (report, table, assess -o), which mervo-tool starts in its
// place.
// Printed documents lay out text with fonts, which needs a GUI application; headless, on no display.
#include <QGuiApplication>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#endif

#include "app/tool/tool_common.h"
#include "assessment/assessment_run.h"
#include "printing/assessment_report.h"

namespace {

#ifdef __GLIBC__
// The first touch of each new page of memory stops the program for the kernel, and on a virtual machine for the
// host too: about 15 microseconds a page where this was measured, against about 1 for pages the kernel maps in
// one call. A report touches about a thousand new pages of heap (the curves' lines as the pass draws them, the
// page's drawing, its compression), a tenth of its time. So the heap's first megabytes are mapped in one call
// before the work starts, and every thread allocates from that one heap. Kernels older than 5.14 refuse the call,
// and the pages are then touched one by one as before.
void warmHeap() {
    constexpr size_t kWarm = 8 << 20;
#ifdef MADV_POPULATE_WRITE
    constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
    constexpr int kPopulateWrite = 23;
#endif
    mallopt(M_ARENA_MAX, 1);
    void* block = std::malloc(kWarm);
    if (!block) return;
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + kWarm) & ~(page - 1);
    (void)::madvise(reinterpret_cast<void*>(from), to - from, kPopulateWrite);
    std::free(block);  // back to the heap, which keeps it (M_TRIM_THRESHOLD)
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // A PDF page is built in one growing buffer of a few hundred kilobytes and freed when the page is written.
    // By default such blocks are mapped afresh for every page and handed back to the system, and faulting the
    // new pages in cost about a quarter of a long table's time; keeping them in the heap reuses the memory.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    warmHeap();
#endif
    qInstallMessageHandler(mervo::tool::quietQtMessages);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString cmd = args.isEmpty() ? QString() : args.takeFirst();
    mervo::tool::Args rest(args);
    if (cmd == QLatin1String("table")) return mervo::tool::runTable(cmd, rest);
    if (cmd == QLatin1String("report")) return mervo::tool::runReport(cmd, rest);
    if (cmd == QLatin1String("assess")) {
        // Headed as report -o heads its page: the print window's designed organisation and device, the file's date.
        const auto report = [&cmd](const QString& output, const QString& file, const mervo::AssessmentOutcome& o) {
            const mervo::Result<mervo::AssessedFile> f = mervo::readAssessedFile(file);
            if (!f) {
                mervo::tool::reportError(cmd, f.message());
                return mervo::tool::kExitFailure;
            }
            const mervo::PrintHeader header = mervo::headerForFile(file);
            return mervo::tool::printToPdf(cmd, output, mervo::assessmentReportTitle(), [&](mervo::Surface& page) {
                return mervo::printAssessmentReport(o.assessment, o.savings, *f, header, page);
            });
        };
        // The page of both is headed with the date of the measurement after the change.
        const auto comparison = [&cmd](const QString& output, const QString& beforeFile, const mervo::AssessmentOutcome& before,
                                       const QString& afterFile, const mervo::AssessmentOutcome& after) {
            const mervo::Result<mervo::AssessedFile> b = mervo::readAssessedFile(beforeFile);
            const mervo::Result<mervo::AssessedFile> a = mervo::readAssessedFile(afterFile);
            if (!b || !a) {
                mervo::tool::reportError(cmd, (!b ? b : a).message());
                return mervo::tool::kExitFailure;
            }
            const mervo::PrintHeader header = mervo::headerForFile(afterFile);
            return mervo::tool::printToPdf(cmd, output, mervo::assessmentComparisonTitle(), [&](mervo::Surface& page) {
                return mervo::printAssessmentComparison({before.assessment, *b}, {after.assessment, *a}, header, page);
            });
        };
        return mervo::tool::runAssess(cmd, rest, report, comparison);
    }
    std::fputs("usage: mervo-tool table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]\n"
               "       mervo-tool report FILE -o OUT.pdf [--org T] [--device T] [--date Y,M,D,h,m]\n"
               "       mervo-tool assess FILE [--from A] [--to B] [--kq K] [--target-pf X] [--hours H] [--price P]\n"
               "       [--co2 F] [--demand-minutes M] [--demand-step-minutes S] [--tou ...]\n"
               "       [--motor-price CODE=YUAN]... [--compare FILE2 [--compare-from A] [--compare-to B]] -o OUT.pdf\n",
               stderr);
    return mervo::tool::kExitUsage;
}
