#include "engine/core/FileRegistry.h"

#include <cctype>
#include <cerrno>

#include "engine/core/ErrorCodes.h"
#include "engine/core/MemoryFile.h"
#include "engine/core/PhysicalFile.h"
#include "platform/FileSystem.h"

namespace keel {

namespace {

bool IsOpen(const std::shared_ptr<TBaseFile>& file) { return file && file->openCount() > 0; }

}  // namespace

std::string FoldedPath(const std::string& path) {
  std::string folded = path;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

bool TFileRegistry::Handles::open() const { return IsOpen(writing) || IsOpen(reading); }

bool TFileRegistry::Handles::exclusive() const {
  return (IsOpen(writing) && writing->exclusive()) || (IsOpen(reading) && reading->exclusive());
}

int TFileRegistry::Handles::openCount() const {
  return (writing ? writing->openCount() : 0) + (reading ? reading->openCount() : 0);
}

FileHandle TFileRegistry::open(const std::string& path, const FileOpenRequest& request) {
  Registry& registry = registryFor(request.inMemory);
  std::lock_guard guard(registry.mutex);
  auto it = registry.files.find(FoldedPath(path));
  if (it != registry.files.end() && it->second.open() && (it->second.exclusive() || request.exclusive))
    raiseOsError(EACCES, path);
  if (request.inMemory) {
    if (it == registry.files.end()) raiseOsError(ENOENT, path);
    std::shared_ptr<TBaseFile>& file = it->second.writing;
    if (!IsOpen(file)) file->markExclusive(request.exclusive);
    return {file, file->addOpen()};
  }
  Handles& handles = registry.files[FoldedPath(path)];
  std::shared_ptr<TBaseFile>& slot = request.readOnly ? handles.reading : handles.writing;
  if (IsOpen(slot)) return {slot, slot->addOpen()};
  auto file = std::make_shared<TPhysicalFile>(path);
  try {
    file->open(request.exclusive, request.readOnly);
  } catch (...) {
    if (!handles.writing && !handles.reading) registry.files.erase(FoldedPath(path));
    throw;
  }
  slot = file;
  return {file, file->addOpen()};
}

FileHandle TFileRegistry::create(const std::string& path, const FileOpenRequest& request, bool temporary) {
  Registry& registry = registryFor(request.inMemory);
  std::lock_guard guard(registry.mutex);
  auto it = registry.files.find(FoldedPath(path));
  if (it != registry.files.end() && it->second.open()) raiseOsError(EACCES, path);
  std::shared_ptr<TBaseFile> file;
  if (request.inMemory) {
    file = it != registry.files.end() ? it->second.writing : std::make_shared<TMemoryFile>(path);
    file->truncate(0);
    file->markExclusive(request.exclusive);
  } else {
    auto physical = std::make_shared<TPhysicalFile>(path);
    physical->create(request.exclusive);
    file = physical;
  }
  file->setTemporary(temporary);
  registry.files[FoldedPath(path)] = Handles{file, nullptr};
  return {file, file->addOpen()};
}

void TFileRegistry::close(FileHandle& handle) {
  if (!handle) return;
  const bool inMemory = dynamic_cast<TPhysicalFile*>(handle.file.get()) == nullptr;
  Registry& registry = registryFor(inMemory);
  std::lock_guard guard(registry.mutex);
  handle.file->removeOpen(handle.openId);
  if (handle.file->openCount() == 0) {
    const std::string path = handle.file->path();
    const bool temporary = handle.file->temporary();
    if (!inMemory || temporary) {
      auto it = registry.files.find(FoldedPath(path));
      if (it != registry.files.end()) {
        for (std::shared_ptr<TBaseFile>* slot : {&it->second.writing, &it->second.reading}) {
          if (*slot == handle.file) slot->reset();
        }
        if (!it->second.writing && !it->second.reading) registry.files.erase(it);
      }
    }
    handle.file.reset();
    if (!inMemory && temporary) mindrel::RemoveFile(path);
  }
  handle = {};
}

bool TFileRegistry::exists(const std::string& path, bool inMemory) {
  if (!inMemory) return mindrel::FileExists(path);
  std::lock_guard guard(memory_.mutex);
  return memory_.files.count(FoldedPath(path)) != 0;
}

void TFileRegistry::remove(const std::string& path, bool inMemory) {
  Registry& registry = registryFor(inMemory);
  std::lock_guard guard(registry.mutex);
  auto it = registry.files.find(FoldedPath(path));
  if (it != registry.files.end() && it->second.open()) raiseOsError(EACCES, path);
  if (inMemory) {
    if (it == registry.files.end()) raiseOsError(ENOENT, path);
    registry.files.erase(it);
    return;
  }
  if (int error = mindrel::RemoveFile(path); error != 0) raiseOsError(error, path);
}

void TFileRegistry::rename(const std::string& from, const std::string& to, bool inMemory) {
  Registry& registry = registryFor(inMemory);
  std::lock_guard guard(registry.mutex);
  auto it = registry.files.find(FoldedPath(from));
  if (it != registry.files.end() && it->second.open()) raiseOsError(EACCES, from);
  auto target = registry.files.find(FoldedPath(to));
  if (target != registry.files.end() && target->second.open()) raiseOsError(EACCES, to);
  if (!inMemory) {
    if (int error = mindrel::RenameFile(from, to); error != 0) raiseOsError(error, from);
    return;
  }
  if (it == registry.files.end()) raiseOsError(ENOENT, from);
  // A memory file keeps its bytes; only its key changes.
  auto bytes = std::make_shared<TMemoryFile>(to);
  std::vector<uint8_t> content(static_cast<size_t>(it->second.writing->size()));
  it->second.writing->readAt(0, content.data(), content.size());
  bytes->writeAt(0, content.data(), content.size());
  registry.files.erase(it);
  registry.files[FoldedPath(to)] = Handles{bytes, nullptr};
}

int TFileRegistry::openCount(const std::string& path, bool inMemory) {
  Registry& registry = registryFor(inMemory);
  std::lock_guard guard(registry.mutex);
  auto it = registry.files.find(FoldedPath(path));
  return it == registry.files.end() ? 0 : it->second.openCount();
}

void TFileRegistry::adopt(std::shared_ptr<TBaseFile> file) {
  std::lock_guard guard(memory_.mutex);
  const std::string key = FoldedPath(file->path());
  memory_.files[key] = Handles{std::move(file), nullptr};
}

}  // namespace keel
