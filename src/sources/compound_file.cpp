#include "sources/compound_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <strings.h>

#include <mutex>

namespace lorvek {
namespace {

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    gsf_init();
    // libgsf reports damaged files on standard error; a damaged file is
    // the caller's to report, once, in its own words.
    for (const char* domain : {"libgsf:msole", "libgsf", static_cast<const char*>(nullptr)})
      g_log_set_handler(domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO),
                        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
  });
}

struct Unref {
  void operator()(gpointer p) const {
    if (p) g_object_unref(p);
  }
};

}  // namespace

struct CompoundFile::Handle {
  std::string bytes;  // kept alive for a file read from memory
  std::unique_ptr<GsfInput, Unref> input;
  std::unique_ptr<GsfInfile, Unref> ole;
};

namespace {

std::shared_ptr<CompoundFile::Handle> Attach(std::shared_ptr<CompoundFile::Handle> handle, GsfInput* input) {
  if (!input) return nullptr;
  handle->input.reset(input);
  GError* error = nullptr;
  handle->ole.reset(gsf_infile_msole_new(input, &error));
  if (error) g_error_free(error);
  if (!handle->ole) return nullptr;
  return handle;
}

}  // namespace

std::optional<CompoundFile> CompoundFile::Open(const std::string& path) {
  InitOnce();
  GError* error = nullptr;
  GsfInput* input = gsf_input_stdio_new(path.c_str(), &error);
  if (error) g_error_free(error);
  auto handle = Attach(std::make_shared<Handle>(), input);
  if (!handle) return std::nullopt;
  return CompoundFile(std::move(handle));
}

std::optional<CompoundFile> CompoundFile::FromBytes(std::string_view bytes) {
  InitOnce();
  auto handle = std::make_shared<Handle>();
  handle->bytes.assign(bytes);
  GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(handle->bytes.data()),
                                         static_cast<gsf_off_t>(handle->bytes.size()), FALSE);
  handle = Attach(std::move(handle), input);
  if (!handle) return std::nullopt;
  return CompoundFile(std::move(handle));
}

std::optional<std::string> CompoundFile::Stream(const std::vector<std::string>& names, size_t max_bytes) const {
  GsfInfile* ole = handle_->ole.get();
  const int children = gsf_infile_num_children(ole);
  for (const std::string& wanted : names) {
    for (int i = 0; i < children; ++i) {
      const char* name = gsf_infile_name_by_index(ole, i);
      if (!name || strcasecmp(name, wanted.c_str()) != 0) continue;
      std::unique_ptr<GsfInput, Unref> stream(gsf_infile_child_by_index(ole, i));
      if (!stream) continue;
      // A storage (folder) of the same name is not the stream asked for.
      if (GSF_IS_INFILE(stream.get()) && gsf_infile_num_children(GSF_INFILE(stream.get())) >= 0) continue;
      const gsf_off_t size = gsf_input_size(stream.get());
      if (size < 0 || static_cast<uint64_t>(size) > max_bytes) return std::nullopt;
      std::string bytes(static_cast<size_t>(size), '\0');
      if (size > 0 && !gsf_input_read(stream.get(), static_cast<size_t>(size), reinterpret_cast<guint8*>(bytes.data())))
        return std::nullopt;
      return bytes;
    }
  }
  return std::nullopt;
}

}  // namespace lorvek
