#include "printer/PrinterHostChoice.h"

TPrinterHostChoice ChoosePrinterHost(const std::string&, const std::string&, const std::string&)
{
    // The vendor's DLL loads natively, in the host beside the program.
    return {};
}
