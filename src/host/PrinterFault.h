#pragma once

#include <cstdint>
#include <string>

// The step of a card transaction that failed, as the HTTP API names it
// (StepName). Opening, closing and resetting the port count as open.
enum class TPrinterStep {
    Open,
    CardIn,
    Write,
    Read,
    Print,
    Eject,
};

// Who gave a failed step its status: the printer itself, or, when the
// interface stood in for it, why.
enum class TPrinterFaultKind {
    // The printer answered with its own status code.
    Printer,
    // The library's process ended during the call.
    LibraryCrash,
    // The call did not return in time, or was given up; its process was ended.
    LibraryHang,
    // No printer library could be loaded or started.
    NoLibrary,
    // The port is not open (status 1, an empty port handle).
    PortClosed,
};

// A failed printer step as the driver met it, so a program can tell a jam
// from an open cover without reading the log's words.
struct TPrinterFault {
    TPrinterStep Step = TPrinterStep::CardIn;
    TPrinterFaultKind Kind = TPrinterFaultKind::Printer;
    // The status the step got: the vendor's code, or the one the interface
    // stands in with for a library that gave none (Kind says so).
    int32_t StatusCode = 0;
    // The code's text in the status table (GBK); empty for a code the table
    // lacks.
    std::string StatusText;
    // The whole line as the driver logged it (GBK): "进卡失败:Card jam B".
    std::string Text;
};

// "cardIn", "write", "read", "print", "eject", "open".
const char* StepName(TPrinterStep step);
// "printer", "libraryCrash", "libraryHang", "noLibrary", "portClosed".
const char* FaultKindName(TPrinterFaultKind kind);
