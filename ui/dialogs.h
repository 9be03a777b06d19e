#pragma once

#include <string>

#include "ui/component.h"

namespace tagscope {

// The system's file-open dialog. It keeps the file name chosen last and offers it again,
// pre-filled, at the next Execute.
class TOpenDialog : public TComponent {
 public:
  using TComponent::TComponent;

  virtual std::string FileName() const = 0;
  virtual void SetFileName(const std::string& fileName) = 0;
  // Shows the dialog modally, owned by the factory's dialog owner window. Returns true and sets
  // FileName when the user chose a file, false when the user cancelled.
  virtual bool Execute() = 0;
};

}  // namespace tagscope
