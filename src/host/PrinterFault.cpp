#include "host/PrinterFault.h"

// These names are part of the HTTP API: programs branch on them.
const char* StepName(TPrinterStep step)
{
    switch (step) {
    case TPrinterStep::Open:
        return "open";
    case TPrinterStep::CardIn:
        return "cardIn";
    case TPrinterStep::Write:
        return "write";
    case TPrinterStep::Read:
        return "read";
    case TPrinterStep::Print:
        return "print";
    case TPrinterStep::Eject:
        return "eject";
    }
    return "open";
}

const char* FaultKindName(TPrinterFaultKind kind)
{
    switch (kind) {
    case TPrinterFaultKind::Printer:
        return "printer";
    case TPrinterFaultKind::LibraryCrash:
        return "libraryCrash";
    case TPrinterFaultKind::LibraryHang:
        return "libraryHang";
    case TPrinterFaultKind::NoLibrary:
        return "noLibrary";
    case TPrinterFaultKind::PortClosed:
        return "portClosed";
    }
    return "printer";
}
