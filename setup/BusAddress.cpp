// The bus itself: listener search, the converter's GPIB address, serial poll.
#include <QLineEdit>
#include <algorithm>
#include <vector>

#include "Form.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "SetupWindow.h"

namespace setup {

namespace {
// The board is controller-in-charge at address 0; the search covers the primary addresses
// 0 to 30, and the driver writes at most this many results.
constexpr std::int16_t kBoardAddress = 0;
constexpr std::int16_t kLastPrimaryAddress = 30;
constexpr int kSearchLimit = 31;
constexpr int kListEntries = 33;
}  // namespace

void SetupWindow::cmdFindLstn_Click() {
  auto& g = gpib_;
  txtResults2->setText("Please wait a moment");
  repaint();  // the search holds the window until every address has been tried

  std::vector<std::int16_t> addresses(kListEntries, 0), results(kListEntries, 0);
  for (std::int16_t k = 1; k <= kLastPrimaryAddress; ++k) addresses[k] = k;
  addresses[kLastPrimaryAddress + 1] = bus::NOADDR;
  g.FindLstn(g.BoardIndex, addresses, results, kSearchLimit);
  if (bus::busErrorDisplay(g, "FindLstn Error", *this)) {
    // Left standing, "Please wait a moment" would claim a search that has already given up.
    txtResults2->clear();
    return;
  }

  // The board answers for itself; it is left out by its address, so a driver that does not
  // report the board loses no device.
  const int found = std::clamp<int>(g.ibcnt, 0, kSearchLimit);
  std::string listing;
  for (int i = 0; i < found; ++i)
    if (results[i] != kBoardAddress) listing += bus::numberText(static_cast<int>(results[i])) + " ";
  txtResults2->setText("Found devices at addresses = " + ui::fromBytes(listing));
}

void SetupWindow::cmdSetAddr_Click() {
  auto& g = gpib_;
  txtError->clear();
  const std::optional<float> v = bus::toSingle(bus::numericValue(ui::toBytes(txtNewAddr->text())));
  // Only a primary address the driver can use is taken: entries of the form that also held a
  // secondary address (101 to 3029) are refused with the others.
  if (!v || *v < 0 || *v >= kLastPrimaryAddress + 1) {
    showMessage("Invalid address value, retry ");
    g.Beep();
    txtNewAddr->setFocusPolicy(Qt::StrongFocus);
    txtNewAddr->setSelection(0, static_cast<int>(txtNewAddr->text().size()));
    txtNewAddr->setFocus();
    return;
  }
  g.ConverterAddr = *bus::toInt16(*v);
  // The first line sent to the new address; it also shows whether anything listens there.
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "*ESE 64", 1);
  bus::busErrorDisplay(g, "SendCmd Error", *this);
}

void SetupWindow::cmdSerialPoll_Click() {
  auto& g = gpib_;
  std::int16_t status = 0;
  g.ReadStatusByte(g.BoardIndex, g.ConverterAddr, status);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
  txtResults2->setText("Serial Poll Response= " +
                       QString::fromStdString(bus::numberText(static_cast<int>(status))));
}

}  // namespace setup
