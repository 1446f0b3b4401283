#pragma once

#include <string>

// The platform's component base: a name and an owner. Ownership itself is
// expressed with smart pointers by whoever creates the component; Owner is
// kept for reference only.
class TComponent {
 public:
  explicit TComponent(TComponent* Owner = nullptr) : FOwner(Owner) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value) { FName = Value; }
  TComponent* Owner() const { return FOwner; }

 private:
  TComponent* FOwner;
  std::string FName;
};
