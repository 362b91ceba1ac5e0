#include "io/mrc_file_pair.h"

#include "io/mrc_head_io.h"
#include "io/mrc_mode.h"

int mrcf_i_open_io_read_head(const char* in_path, FilePtr& in, MrcHeadPtr& in_head,
                             MrcHeadPtr& out_head) {
  in = MRC_OPEN_READ(in_path, "r");
  in_head = mrc_new_head();
  out_head = mrc_new_head();
  if (mrc_read_head(in.get(), in_head.get()) != 0) return -1;
  *out_head = *in_head;
  mrc_set_head_mode(out_head.get(), MRC_MODE_FLOAT);
  return 0;
}

int mrcf_io_open_io_read_head(const char* in_path, const char* out_path, FilePtr& in, FilePtr& out,
                              MrcHeadPtr& in_head, MrcHeadPtr& out_head) {
  out = MRC_OPEN_WRITE(out_path, "w+");
  return mrcf_i_open_io_read_head(in_path, in, in_head, out_head);
}

int mrcf_io_open_io_read_write_head(const char* in_path, const char* out_path, FilePtr& in,
                                    FilePtr& out, MrcHeadPtr& in_head, MrcHeadPtr& out_head) {
  if (mrcf_io_open_io_read_head(in_path, out_path, in, out, in_head, out_head) != 0) return -1;
  return mrc_write_head(out.get(), out_head.get());
}

int mrc_io_close_io_free_head(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head,
                              MrcHeadPtr& out_head) {
  in.reset();
  in_head.reset();
  out_head.reset();
  return mrc_close(out);
}

int mrc_io_close_io_free_head_data(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head,
                                   MrcHeadPtr& out_head, HostBuffer<float>& data) {
  data = HostBuffer<float>();
  return mrc_io_close_io_free_head(in, out, in_head, out_head);
}
