#pragma once

#include <string>

#include "ui/dialogs.h"
#include "ui/props.h"

namespace tagscope {

class TWin32Factory;

// A "text|pattern|text|pattern" filter in the form GetOpenFileNameA takes: each part ended by
// a zero byte and the whole by a second one. An empty filter gives an empty string.
std::string DoubleZeroFilter(const std::string& filter);

// The common file-open dialog (GetOpenFileNameA, explorer style), owned by the factory's
// dialog owner and pre-filled with the file name chosen last.
class TWin32OpenDialog : public TOpenDialog {
 public:
  TWin32OpenDialog(TWin32Factory& factory, const TOpenDialogProps& props)
      : TOpenDialog(props.Name), FFactory(factory), FProps(props) {}

  std::string FileName() const override { return FFileName; }
  void SetFileName(const std::string& fileName) override { FFileName = fileName; }
  // False when the user cancels; a dialog that cannot be shown raises an error.
  bool Execute() override;

 private:
  TWin32Factory& FFactory;
  TOpenDialogProps FProps;
  std::string FFileName;
};

}  // namespace tagscope
