#include "testing/faulty_file_system.h"

#include <new>

namespace varnex {
namespace {

class FaultyReadable : public ReadableFile {
 public:
  FaultyReadable(std::unique_ptr<ReadableFile> real, FaultyFileSystem& fs)
      : real_(std::move(real)), fs_(fs) {}
  FileIdentity Identity() const override { return real_->Identity(); }
  bool ReadAll(std::string* out, std::string* reason) override {
    if (fs_.Fails(FaultyFileSystem::Step::kReadInput, reason)) {
      return false;
    }
    return real_->ReadAll(out, reason);
  }

 private:
  std::unique_ptr<ReadableFile> real_;
  FaultyFileSystem& fs_;
};

class FaultyWritable : public WritableFile {
 public:
  FaultyWritable(std::unique_ptr<WritableFile> real, FaultyFileSystem& fs)
      : real_(std::move(real)), fs_(fs) {}
  bool Append(std::string_view bytes, std::string* reason) override {
    if (fs_.Fails(FaultyFileSystem::Step::kWriteOutput, reason)) {
      // A full disk typically takes part of the data first.
      real_->Append(bytes.substr(0, bytes.size() / 2), nullptr);
      return false;
    }
    return real_->Append(bytes, reason);
  }
  bool Sync(std::string* reason) override {
    return !fs_.Fails(FaultyFileSystem::Step::kSyncOutput, reason) && real_->Sync(reason);
  }
  bool Close(std::string* reason) override {
    bool ok = real_->Close(reason);
    return !fs_.Fails(FaultyFileSystem::Step::kCloseOutput, reason) && ok;
  }

 private:
  std::unique_ptr<WritableFile> real_;
  FaultyFileSystem& fs_;
};

}  // namespace

bool FaultyFileSystem::Fails(Step step, std::string* reason) {
  int n = ++calls_[static_cast<std::size_t>(step)];
  if (step == failStep_ && n == failAt_) {
    if (outOfMemory_) {
      throw std::bad_alloc();
    }
    if (reason != nullptr) {
      *reason = kReason;
    }
    return true;
  }
  return false;
}

OpenStatus FaultyFileSystem::OpenLocked(const std::string& path,
                                        std::unique_ptr<ReadableFile>* file, std::string* reason) {
  if (Fails(Step::kOpenInput, reason)) {
    return OpenStatus::kFailed;
  }
  std::unique_ptr<ReadableFile> real;
  OpenStatus status = real_.OpenLocked(path, &real, reason);
  if (status == OpenStatus::kOk) {
    *file = std::make_unique<FaultyReadable>(std::move(real), *this);
  }
  return status;
}

std::unique_ptr<WritableFile> FaultyFileSystem::CreateExclusive(const std::string& path,
                                                                std::string* reason) {
  if (Fails(Step::kCreateOutput, reason)) {
    return nullptr;
  }
  std::unique_ptr<WritableFile> real = real_.CreateExclusive(path, reason);
  if (real == nullptr) {
    return nullptr;
  }
  return std::make_unique<FaultyWritable>(std::move(real), *this);
}

bool FaultyFileSystem::RenameNoReplace(const std::string& from, const std::string& to,
                                       std::string* reason) {
  return !Fails(Step::kRename, reason) && real_.RenameNoReplace(from, to, reason);
}

bool FaultyFileSystem::MoveNoReplace(const std::string& from, const std::string& to,
                                     const std::string& tempName, std::string* reason) {
  return !Fails(Step::kMove, reason) && real_.MoveNoReplace(from, to, tempName, reason);
}

}  // namespace varnex
