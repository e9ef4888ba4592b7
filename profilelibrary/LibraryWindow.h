#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <optional>

#include "ControllerProfiles.h"
#include "ProfileFile.h"

class QChart;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace profilelibrary {

// The profile library: which profiles the controller holds, what a profile holds (its steps and
// the set-point curve it plans), profiles kept as files and written back into a controller,
// compared with what it holds.
class LibraryWindow final : public QWidget {
  Q_OBJECT
 public:
  explicit LibraryWindow(bus::GPIB32& gpib, QWidget* parent = nullptr);

  // The profiles read back in this session, by number (the trend draws a running one's plan).
  const std::map<int, Profile>& readBack() const { return readBack_; }
  int unit() const { return unit_; }
  // Told of every profile read back (or written and read back).
  std::function<void(const Profile&)> profileRead;

  // Asks the operator for a file (a file dialog unless replaced, as tests do); empty when none.
  std::function<QString(bool save, const QString& filter)> askPath;

  bool readDirectory();
  void readSelected();
  void readAll();
  // Reads the profile back (unless it was) and runs it.
  void runSelected();
  void saveProfiles(bool all);
  void exportCsv();
  bool writeFile(const QString& path, const std::string& text);
  void loadFile();
  void replaceProfile();
  void compareFile();

 private:
  int selectedNumber() const;
  // The number in a box when it names a profile (1 to 40), else 0.
  static int profileNumber(const QLineEdit* box);
  QString pathFor(bool save, const QString& filter);
  ControllerProfiles::Progress progress(const QString& doing);
  void finish(const ControllerProfiles::Outcome& outcome, const QString& done);
  void busy(bool on);
  void showDirectory();
  void showProfile(const Profile& profile);
  void drawPlan();
  void say(const QString& text, bool problem = false);
  std::optional<ProfileSet> readFile(const QString& path);
  // Writes the file's profile as `number`, reads it back and shows any difference.
  void writeAndVerify(const Profile& profile, int fileUnit, int number);

  ControllerProfiles controller_;
  ControllerProfiles::Directory directory_;
  std::map<int, Profile> readBack_;
  int unit_ = 0;
  std::optional<Profile> shown_;
  std::optional<Profile> pending_;  // a file's profile waiting for the operator to replace
  int pendingUnit_ = 0;
  int pendingNumber_ = 0;
  bool cancel_ = false;
  QString suggested_;  // the target the window last offered

  QTableWidget* directoryTable_;
  QTableWidget* steps_;
  QLineEdit* file_;
  QLineEdit* number_;  // the profile read back, saved, compared
  QLineEdit* target_;  // the profile a file is loaded into
  QLineEdit* start_;
  QProgressBar* progress_;
  QPushButton* cancelButton_;
  QPushButton* replace_;
  QLabel* message_;
  QListWidget* differences_;
  QChart* chart_;
  QList<QPushButton*> actions_;
};

}  // namespace profilelibrary
