#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/props.h"
#include "ui/widget.h"

namespace tagscope {

class THeadlessFactory;

// What every headless window control keeps: bounds, visibility, its handle, its parent (a
// control of this backend or a foreign window) and its children, which follow it when they
// fill it (TAlign::alClient).
class THeadlessNode {
 public:
  THeadlessNode(THeadlessFactory& factory, THeadlessNode* parent, TNativeHandle parentWindow,
                const TControlProps& props);
  virtual ~THeadlessNode();
  THeadlessNode(const THeadlessNode&) = delete;
  THeadlessNode& operator=(const THeadlessNode&) = delete;

  THeadlessFactory& Factory() const { return FFactory; }
  const TControlProps& Props() const { return FProps; }
  // The control this one lives in, or nullptr once it was moved into a foreign window.
  THeadlessNode* ParentNode() const { return FParent; }
  // The foreign window this control lives in (0 while its parent is a control of this backend).
  TNativeHandle ParentWindow() const { return FParentWindow; }
  // Visible, and every parent control up to a foreign window visible too.
  bool Showing() const;

 protected:
  TBounds NodeBounds() const { return FBounds; }
  void SetNodeBounds(const TBounds& bounds);
  bool NodeVisible() const { return FVisible; }
  void SetNodeVisible(bool visible) { FVisible = visible; }
  TNativeHandle NodeHandle() const { return FHandle; }
  void MoveToWindow(TNativeHandle parent);
  // The area that filling children take; the whole control unless a kind says otherwise.
  virtual TBounds ClientArea() const { return {0, 0, FBounds.Width, FBounds.Height}; }
  virtual void SizeChanged() {}

 private:
  void Detach();
  void LayoutChildren();

  THeadlessFactory& FFactory;
  THeadlessNode* FParent;
  TNativeHandle FParentWindow;
  TControlProps FProps;
  TBounds FBounds;
  bool FVisible;
  TNativeHandle FHandle;
  std::vector<THeadlessNode*> FChildren;
};

// Implements the operations every widget has on top of a node.
template <class TBase>
class THeadless : public TBase, public THeadlessNode {
 public:
  THeadless(THeadlessFactory& factory, TWidget* parent, const TControlProps& props)
      : TBase(props.Name), THeadlessNode(factory, NodeOf(parent), 0, props) {}
  THeadless(THeadlessFactory& factory, TNativeHandle parentWindow, const TControlProps& props)
      : TBase(props.Name), THeadlessNode(factory, nullptr, parentWindow, props) {}

  TBounds Bounds() const override { return NodeBounds(); }
  void SetBounds(const TBounds& bounds) override { SetNodeBounds(bounds); }
  bool Visible() const override { return NodeVisible(); }
  void SetVisible(bool visible) override { SetNodeVisible(visible); }
  TNativeHandle Handle() const override { return NodeHandle(); }
  void SetParentWindow(TNativeHandle parent) override { MoveToWindow(parent); }

 private:
  static THeadlessNode* NodeOf(TWidget* widget) { return dynamic_cast<THeadlessNode*>(widget); }
};

// The headless control behind a portable one, for tests that act as the user.
template <class THeadlessKind, class TWidgetKind>
THeadlessKind& AsHeadless(TWidgetKind* widget) {
  return dynamic_cast<THeadlessKind&>(*widget);
}

}  // namespace tagscope
