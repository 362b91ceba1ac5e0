#include "run/micrograph_names.h"

#include <cstring>
#include <map>

#include "core/report.h"
#include "core/text_lines.h"
#include "ctf/resolution_limit.h"
#include "io/mrc_name.h"
#include "run/file_identity.h"

namespace {

[[noreturn]] void refuse_overwrite(const std::string& output, const char* what, const std::string& input,
                                   const char* advice) {
  printf("The %s %s would overwrite the input file %s. %s\n", what, output.c_str(), input.c_str(), advice);
  QUIB_FATAL("quib", "An output file is one of the run's inputs");
}

}  // namespace

MicrographOutputs micrograph_outputs(const char* name, const QUIB_Para& para) {
  return {mrc_outname(name, para.logsuffix), mrc_outname(name, ".ctf"), epa_file_name(name)};
}

LocalRefineFiles local_refine_files(const char* name, const QUIB_Para& para) {
  return {mrc_outname(name, para.boxsuffix), mrc_outname(name, "_local.star"), mrc_outname(name, "_local.ctf")};
}

std::string phase_flip_file(const char* name) { return mrc_outname(name, "_pf.mrc"); }

std::string profile_file(const char* name) { return mrc_outname(name, "_profile.txt"); }

std::vector<WrittenFile> micrograph_written_files(const char* name, const QUIB_Para& para) {
  const MicrographOutputs out = micrograph_outputs(name, para);
  std::vector<WrittenFile> files = {{out.log, "log", "Choose another --logsuffix."},
                                    {out.ctf, "diagnosis image", "Rename the input file."},
                                    {out.epa, "EPA file", "Rename the input file."}};
  if (para.do_phase_flip)
    files.push_back({phase_flip_file(name), "phase-flipped micrograph", "Rename the input file."});
  if (para.write_profile) files.push_back({profile_file(name), "fit profile", "Rename the input file."});
  if (para.do_local_refine) {
    const LocalRefineFiles local = local_refine_files(name, para);
    files.push_back({local.star, "per-particle STAR file", "Choose another --boxsuffix."});
    files.push_back({local.ctf, "per-particle diagnosis stack", "Choose another --boxsuffix."});
  }
  return files;
}

std::string unusable_name_reason(const char* name, const MicrographOutputs& outputs) {
  if (strpbrk(name, " \t\n\r\v\f"))
    return "its name contains white space, which would break the STAR table; rename the file";
  for (const std::string* output : {&outputs.log, &outputs.ctf, &outputs.epa})
    if (output->size() >= static_cast<size_t>(QUIB_TEXT_SIZE))
      return "the name of its output " + *output + " would be longer than " + std::to_string(QUIB_TEXT_SIZE - 1) +
             " characters";
  return "";
}

void refuse_outputs_over_inputs(const QUIB_Para& para) {
  FileIdentity identity;
  std::map<std::string, std::string> inputs;  // identity -> name as given
  for (int i = 0; i < para.nfiles; ++i) inputs.emplace(identity.of(para.fnames[i]), para.fnames[i]);
  if (para.input_ctfstar_set && !is_str_null(para.input_ctfstar))
    inputs.emplace(identity.of(para.input_ctfstar), para.input_ctfstar);
  if (!is_str_null(para.gain)) inputs.emplace(identity.of(para.gain), para.gain);
  if (para.do_local_refine)
    for (int i = 0; i < para.nfiles; ++i) {
      const std::string box = local_refine_files(para.fnames[i], para).box;
      inputs.emplace(identity.of(box), box);
    }

  auto check = [&](const std::string& output, const char* what, const char* advice) {
    const auto found = inputs.find(identity.of(output));
    if (found != inputs.end()) refuse_overwrite(output, what, found->second, advice);
  };
  if (!is_str_null(para.ctfstar)) check(para.ctfstar, "CTF STAR file", "Name another output file with --ctfstar.");
  for (int i = 0; i < para.nfiles; ++i)
    for (const WrittenFile& file : micrograph_written_files(para.fnames[i], para))
      check(file.path, file.what, file.advice);
}
