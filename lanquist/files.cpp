// Files written whole or not at all: ports.conf and the installed rc.soc.
//
// A plain file is replaced: the whole content goes to a new file beside it,
// which is flushed to disk and renamed over the target (one atomic step), and
// the directory is synced so the rename survives a power cut. Only where a
// replacement would lose something, or is refused for want of rights, is the
// file written in place, and then so that it ends either whole and new or as
// it was. A failure that writing in place would meet as well (a full disk, a
// read-only file system, an I/O error) is never a reason to write in place.
//
// Every file operation goes through the module's `os`, looked up at call
// time, and every error names the path the caller gave. What `os` cannot do
// (telling a mount point, locking, reserving room) is done here on the path
// or descriptor it gave.
#include "lanquist/config.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace lanquist {
namespace {
using host::Ref;

bool pending_errno_in(std::initializer_list<long> numbers) {
  long n = host::pending_errno();
  return n != 0 && std::find(numbers.begin(), numbers.end(), n) != numbers.end();
}

// Run a pending failure's cleanup without losing the failure: whatever the
// cleanup itself raises is dropped.
template <typename F>
void quietly(F&& cleanup) {
  PyObject *type, *value, *trace;
  PyErr_Fetch(&type, &value, &trace);
  try {
    cleanup();
  } catch (const host::Error&) {
  }
  PyErr_Clear();
  PyErr_Restore(type, value, trace);
}

// A path as the bytes the system takes (a unicode one in the file system's
// encoding, as os encodes it); false where it has none.
bool path_bytes(PyObject* path, std::string& out) {
  Ref bytes;
  if (PyString_Check(path)) {
    bytes = Ref::borrow(path);
  } else if (PyUnicode_Check(path)) {
    bytes = Ref::steal(PyUnicode_AsEncodedString(path, Py_FileSystemDefaultEncoding, "strict"));
    if (!bytes) {
      PyErr_Clear();
      return false;
    }
  } else {
    return false;
  }
  out.assign(PyString_AS_STRING(bytes.get()), PyString_GET_SIZE(bytes.get()));
  return !out.empty() && out.find('\0') == std::string::npos;
}

// Whether the file at `path` is a mount point of its own: a file
// bind-mounted into a container, from the same file system or another. A new
// file beside it would be made in a folder that may be read-only or full,
// only for the rename to meet EBUSY. Only the mount IDs tell: on an overlay
// of two file systems a file reports the device of its layer and its folder
// the overlay's, yet both are one mount. False where the kernel gives no
// mount ID; the rename then tells.
bool own_mount(PyObject* path) {
  std::string file;
  if (!path_bytes(path, file)) return false;
  std::string::size_type slash = file.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
  struct statx of_file, of_dir;
  if (statx(AT_FDCWD, file.c_str(), 0, STATX_MNT_ID, &of_file) != 0 ||
      statx(AT_FDCWD, dir.c_str(), 0, STATX_MNT_ID, &of_dir) != 0) {
    return false;
  }
  return (of_file.stx_mask & of_dir.stx_mask & STATX_MNT_ID) && of_file.stx_mnt_id != of_dir.stx_mnt_id;
}

// Read from the path's own characters. The path is a str or unicode.
Py_ssize_t text_size(PyObject* path) {
  return PyString_Check(path) ? PyString_GET_SIZE(path) : PyUnicode_GET_SIZE(path);
}

// Whether the characters name a folder rather than a file: they end in "/",
// or their last part is "." or "..".
template <typename C>
bool folder_text(const C* text, Py_ssize_t n) {
  if (n > 0 && text[n - 1] == '/') return true;
  Py_ssize_t dots = 0;
  while (dots < n && dots < 3 && text[n - 1 - dots] == '.') ++dots;
  return (dots == 1 || dots == 2) && (dots == n || text[n - 1 - dots] == '/');
}

bool names_folder(PyObject* path) {
  if (PyString_Check(path)) return folder_text(PyString_AS_STRING(path), PyString_GET_SIZE(path));
  if (PyUnicode_Check(path)) return folder_text(PyUnicode_AS_UNICODE(path), PyUnicode_GET_SIZE(path));
  return false;
}

class Writer {
 public:
  Writer(PyObject* shown, PyObject* content, PyObject* perm)
      : os_(global(HN("os"))), path_(host::getattr(os_.get(), HN("path"))), shown_(shown), content_(content),
        perm_(perm), size_(PyString_GET_SIZE(content)) {}

  void write() {
    // An empty path names no file, and fails as open() fails on it; taken
    // as it stands it would lead to the working folder and its parent.
    if (text_size(shown_) == 0) raise_errno(ENOENT);
    if (names_folder(shown_)) names_a_folder(shown_);
    // A symbolic link stays: the file it names is the one written. Following
    // it fails as open() fails (a loop included) before anything is made.
    Ref st = stat_or_none(shown_);
    if (st.get() == Py_None) {
      replace(new_file().get(), nullptr);
      return;
    }
    // Every folder on the way exists, so the path resolves as the kernel
    // resolves it.
    Ref target = path_op("realpath", shown_);
    long mode = as_long(host::getattr(st.get(), HN("st_mode")).get());
    // A device or a pipe is written to; a directory fails as opening it does.
    if (!S_ISREG(mode)) {
      write_stream(target.get());
      return;
    }
    // A file not ours to write fails as opening it would, before anything is made.
    op("close", op("open", target.get(), flag("O_WRONLY").get()).get());
    // A replacement would split a file of several hard links, and could not
    // take the place of a mount point.
    if (as_long(host::getattr(st.get(), HN("st_nlink")).get()) > 1 || own_mount(target.get()) ||
        !replace(target.get(), st.get())) {
      write_in_place(target.get());
    }
  }

 private:
  // Run one file operation; an OSError or IOError it raises becomes the
  // IOError that writing the file itself gives, naming the path the caller gave.
  template <typename F>
  Ref naming(F&& op) {
    try {
      return op();
    } catch (const host::Error&) {
      raise_naming_file();
    }
  }

  // The pending EnvironmentError raised again as an IOError naming the file.
  [[noreturn]] void raise_naming_file() {
    if (!PyErr_ExceptionMatches(PyExc_EnvironmentError)) host::fail();
    PyObject *type, *value, *trace;
    PyErr_Fetch(&type, &value, &trace);
    PyErr_NormalizeException(&type, &value, &trace);
    Ref t = Ref::steal(type), v = Ref::steal(value), tb = Ref::steal(trace);
    Ref no = Ref::steal(v ? PyObject_GetAttrString(v.get(), "errno") : nullptr);
    if (!no || no.get() == Py_None) {
      PyErr_Clear();
      PyErr_Restore(t.release(), v.release(), tb.release());
      host::fail();
    }
    Ref why = host::getattr(v.get(), HN("strerror"));
    host::raise_instance(host::call(PyExc_IOError, no.get(), why.get(), shown_).get());
  }

  // The IOError that writing the file gives for `number`, naming the path the caller gave.
  [[noreturn]] void raise_errno(int number) {
    errno = number;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_IOError, shown_);
    host::fail();
  }

  // `os.path.<name>(args...)`.
  template <typename... A>
  Ref path_op(const char* name, A... args) {
    return naming([&] { return host::call_method(path_.get(), host::interned(name), args...); });
  }

  // `os.<name>(args...)`.
  template <typename... A>
  Ref op(const char* name, A... args) {
    return naming([&] { return host::call_method(os_.get(), host::interned(name), args...); });
  }

  long as_long(PyObject* v) {
    long n = PyInt_AsLong(v);
    if (n == -1 && PyErr_Occurred()) host::fail();
    return n;
  }

  Ref flag(const char* name) { return host::getattr(os_.get(), host::interned(name)); }
  Ref flags(std::initializer_list<const char*> names) {
    Ref all = host::integer(0);
    for (const char* n : names) all = host::check(PyNumber_Or(all.get(), flag(n).get()));
    return all;
  }

  // The stat result of the file the path names, or None where there is none
  // (a new file, or a dangling link naming the file to make).
  Ref stat_or_none(PyObject* path, const char* how = "stat") {
    try {
      return op(how, path);
    } catch (const host::Error&) {
      if (!pending_errno_in({ENOENT})) throw;
      PyErr_Clear();
      return host::none();
    }
  }
  Ref lstat_or_none(PyObject* path) { return stat_or_none(path, "lstat"); }

  // A path ending in "/", "." or ".." names no file to write: it fails as
  // open() fails on it, before anything is made. The probe can make no file
  // of such a name, nor truncate one; it runs only where the path's own
  // characters say so, whatever the module's os.path answered.
  [[noreturn]] void names_a_folder(PyObject* path) {
    if (names_folder(path)) {
      Ref mode = host::integer(0666);
      op("close", op("open", path, flags({"O_WRONLY", "O_CREAT"}).get(), mode.get()).get());
    }
    raise_errno(EISDIR);
  }

  // Where a path that names no file yet makes one, found as open() finds it:
  // each folder on the way must exist, whatever ".." follows it (resolving
  // the text alone would drop "missing/.." and land on an existing file),
  // and a dangling symbolic link names the file to make. A path open() would
  // refuse fails with its errno, before anything is made.
  Ref new_file() {
    Ref path = Ref::borrow(shown_);
    for (int links = 0;; ++links) {
      Ref parts = path_op("split", path.get());
      Ref head = host::item(parts.get(), Py_ssize_t{0}), tail = host::item(parts.get(), Py_ssize_t{1});
      // Nothing after the last "/" (a link whose text ends in one), "." or "..".
      if (!host::truth(tail.get()) || host::equal(tail.get(), HN(".")) || host::equal(tail.get(), HN(".."))) {
        names_a_folder(path.get());
      }
      if (!host::truth(head.get())) head = host::text(".");
      Ref folder = op("stat", head.get());
      if (!S_ISDIR(as_long(host::getattr(folder.get(), HN("st_mode")).get()))) raise_errno(ENOTDIR);
      Ref name = path_op("join", head.get(), tail.get());
      Ref st = lstat_or_none(name.get());
      if (st.get() == Py_None || !S_ISLNK(as_long(host::getattr(st.get(), HN("st_mode")).get()))) {
        Ref real = path_op("realpath", head.get());
        return path_op("join", real.get(), tail.get());
      }
      // As the kernel counts links followed in one path.
      if (links == 40) raise_errno(ELOOP);
      Ref link = op("readlink", name.get());
      path = path_op("join", head.get(), link.get());
    }
  }

  // --- writing through a descriptor -------------------------------------------------

  // content[from:to] written at the descriptor's position, however many
  // calls the system takes.
  void write_all(PyObject* fd, PyObject* data, Py_ssize_t from, Py_ssize_t to) {
    while (from < to) {
      bool whole = from == 0 && PyString_Check(data) && to == PyString_GET_SIZE(data);
      Ref piece = whole ? Ref::borrow(data) : host::slice(data, from, to);
      Ref done = op("write", fd, piece.get());
      Py_ssize_t n = PyNumber_AsSsize_t(done.get(), PyExc_OverflowError);
      if (n == -1 && PyErr_Occurred()) host::fail();
      // No progress and no error: the disk takes no more.
      if (n <= 0) raise_errno(ENOSPC);
      from += n;
    }
  }

  void seek(PyObject* fd, Py_ssize_t at) { op("lseek", fd, host::check(PyInt_FromSsize_t(at)).get(), flag("SEEK_SET").get()); }
  void truncate(PyObject* fd, Py_ssize_t at) { op("ftruncate", fd, host::check(PyInt_FromSsize_t(at)).get()); }

  Ref read_all(PyObject* fd) {
    Ref pieces = host::new_list();
    Ref chunk = host::integer(1 << 20);
    for (;;) {
      Ref piece = op("read", fd, chunk.get());
      if (!host::truth(piece.get())) break;
      host::append(pieces.get(), piece.get());
    }
    return host::call_method(host::text("").get(), HN("join"), pieces.get());
  }

  // --- the three ways --------------------------------------------------------------

  // A device or a pipe takes the content as a stream.
  void write_stream(PyObject* target) {
    Ref fd = op("open", target, flag("O_WRONLY").get());
    try {
      write_all(fd.get(), content_, 0, size_);
    } catch (...) {
      quietly([&] { op("close", fd.get()); });
      throw;
    }
    op("close", fd.get());
  }

  // The descriptor number of what the module's os.open answered.
  int descriptor(PyObject* fd) {
    int n = PyObject_AsFileDescriptor(fd);
    if (n < 0) host::fail();
    return n;
  }

  // A system call on a descriptor, the interpreter's other threads running
  // meanwhile; interrupted, it is made again unless a signal handler raised.
  // Returns 0, or the errno of its failure.
  template <typename F>
  int blocking(F&& call) {
    for (;;) {
      int rc, number;
      Py_BEGIN_ALLOW_THREADS
      rc = call();
      number = errno;
      Py_END_ALLOW_THREADS
      if (rc == 0) return 0;
      if (number != EINTR) return number;
      if (PyErr_CheckSignals() < 0) host::fail();
    }
  }

  // One writer at a time: a second one waits here until the first has closed
  // the file. A file system without locks is written as before.
  void lock(PyObject* fd) {
    int n = descriptor(fd);
    int number = blocking([n] { return flock(n, LOCK_EX); });
    if (number != 0 && number != ENOLCK && number != EOPNOTSUPP && number != EINVAL) raise_errno(number);
  }

  // Room for every byte the file will hold, holes included, without changing
  // its length: a full disk fails here, before the text is touched. A file
  // system that cannot reserve is written as before.
  void reserve(PyObject* fd) {
    if (size_ == 0) return;
    int n = descriptor(fd);
    off_t length = size_;
    int number = blocking([n, length] { return fallocate(n, FALLOC_FL_KEEP_SIZE, 0, length); });
    if (number != 0 && number != EOPNOTSUPP && number != ENOSYS && number != EINVAL && number != ENODEV) {
      raise_errno(number);
    }
  }

  // The bits the file is to have, set through its path; returns the bits it
  // had where they changed. Bits it has already are not set again (that may
  // be refused to someone who may write the file).
  Ref set_bits(PyObject* target, PyObject* fd) {
    if (!perm_) return Ref();
    Ref had = config_detail::permission_bits(op("fstat", fd).get());
    if (host::equal(had.get(), perm_)) return Ref();
    op("chmod", target, perm_);
    return had;
  }

  // The file is rewritten through its own inode, under a lock held from
  // before its old text is read until the new one is on disk (closing the
  // descriptor lets it go), so of two writers the later one's text stands
  // whole. Room for the new text is reserved and the bits set before the text
  // is touched; where nothing could be reserved, room for a longer text is
  // made past the old one first. Should a write fail still, the old text is
  // written back and the file cut to its old length, and the old bits are
  // put back. The error is raised either way.
  void write_in_place(PyObject* target) {
    Ref fd = op("open", target, flag("O_RDWR").get());
    try {
      lock(fd.get());
      Ref old = read_all(fd.get());
      Py_ssize_t old_size = PyString_Check(old.get()) ? PyString_GET_SIZE(old.get()) : host::length(old.get());
      Ref old_bits;
      bool overwritten = false;
      try {
        reserve(fd.get());
        old_bits = set_bits(target, fd.get());
        if (size_ > old_size) {
          seek(fd.get(), old_size);
          write_all(fd.get(), content_, old_size, size_);
        }
        overwritten = true;
        seek(fd.get(), 0);
        write_all(fd.get(), content_, 0, std::min(old_size, size_));
        truncate(fd.get(), size_);
        op("fsync", fd.get());
      } catch (...) {
        if (overwritten) {
          quietly([&] {
            seek(fd.get(), 0);
            write_all(fd.get(), old.get(), 0, old_size);
          });
        }
        // Also where the old text could not be written back (a hole on a
        // full disk): what lies past the old end goes, reserved room included.
        if (overwritten || size_ > old_size) quietly([&] { truncate(fd.get(), old_size); });
        if (overwritten) quietly([&] { op("fsync", fd.get()); });
        if (old_bits) quietly([&] { op("chmod", target, old_bits.get()); });
        throw;
      }
    } catch (...) {
      quietly([&] { op("close", fd.get()); });
      throw;
    }
    op("close", fd.get());
  }

  // Replace the file by a new one. Returns false, having changed nothing,
  // where `st` (the existing file's stat result) is given and a replacement
  // is refused for want of rights or would lose something: no new file may
  // be made beside it, nor given its owner and group or its bits, or the
  // rename meets a mount point (EBUSY: a file bind-mounted into a container)
  // or another file system (EXDEV).
  bool replace(PyObject* target, PyObject* st) {
    Ref perm = perm_ ? Ref::borrow(perm_) : st ? config_detail::permission_bits(st) : Ref();
    Ref fd;
    Ref temp;
    try {
      // A new file gets what open() would give it (0666 less the umask); one
      // that replaces a file is private until it has its bits.
      temp = create_beside(target, perm ? 0600 : 0666, fd);
    } catch (const host::Error&) {
      if (st && pending_errno_in({EACCES, EPERM})) {
        PyErr_Clear();
        return false;
      }
      throw;
    }
    bool refused = false;
    try {
      if ((st && !take_owner(fd.get(), st)) || (perm && !give_bits(temp.get(), perm.get(), st))) {
        refused = true;
      } else {
        write_all(fd.get(), content_, 0, size_);
        op("fsync", fd.get());
        Ref closing = fd;
        fd = Ref();
        op("close", closing.get());
        try {
          op("rename", temp.get(), target);
        } catch (const host::Error&) {
          if (!st || !pending_errno_in({EBUSY, EXDEV})) throw;
          PyErr_Clear();
          refused = true;
        }
      }
    } catch (...) {
      discard(fd.get(), temp.get());
      throw;
    }
    if (refused) {
      discard(fd.get(), temp.get());
      return false;
    }
    sync_directory(target);
    return true;
  }

  // A new file beside `target` that only this call has opened (O_EXCL):
  // ".<name>.<random>.tmp", its name no longer than the target's where that
  // is long, so it fits wherever the target's name fits.
  Ref create_beside(PyObject* target, long perm, Ref& fd) {
    Ref dir = path_op("dirname", target);
    Ref base = path_op("basename", target);
    constexpr Py_ssize_t kAdded = 18;  // "." + "." + 12 hex digits + ".tmp"
    Py_ssize_t keep = std::max(host::length(base.get()), Py_ssize_t{64}) - kAdded;
    base = host::slice(base.get(), 0, keep);
    Ref open_flags = flags({"O_WRONLY", "O_CREAT", "O_EXCL"});
    Ref mode = host::integer(perm);
    for (int attempt = 0;; ++attempt) {
      Ref noise = host::call_method(os_.get(), HN("urandom"), host::integer(6).get());
      noise = host::call_method(noise.get(), HN("encode"), HN("hex"));
      Ref name = host::format(HN(".%s.%s.tmp"), host::tuple(base.get(), noise.get()).get());
      name = host::call_method(path_.get(), HN("join"), dir.get(), name.get());
      try {
        fd = op("open", name.get(), open_flags.get(), mode.get());
        return name;
      } catch (const host::Error&) {
        // Someone else's file of that name: draw another.
        if (attempt == 100 || !pending_errno_in({EEXIST})) throw;
        PyErr_Clear();
      }
    }
  }

  // After a failure: close the descriptor (when still open) and remove the
  // new file; the failure stays the one the caller sees. A new file already
  // given another's owner may not be removed from a sticky folder of a third
  // (root without CAP_FOWNER): it is given back to this user first.
  void discard(PyObject* fd, PyObject* temp) {
    quietly([&] {
      if (fd) Ref::steal(PyObject_CallMethodObjArgs(os_.get(), HN("close"), fd, nullptr));
      PyErr_Clear();
      try {
        op("unlink", temp);
      } catch (const host::Error&) {
        if (!pending_errno_in({EPERM, EACCES})) throw;
        PyErr_Clear();
        Ref uid = op("geteuid"), gid = op("getegid");
        op("chown", temp, uid.get(), gid.get());
        op("unlink", temp);
      }
    });
  }

  // Give the new file the owner and group of `st`. False when that is
  // refused for want of rights.
  bool take_owner(PyObject* fd, PyObject* st) {
    Ref mine = op("fstat", fd);
    Ref uid = host::getattr(st, HN("st_uid")), gid = host::getattr(st, HN("st_gid"));
    if (host::equal(host::getattr(mine.get(), HN("st_uid")).get(), uid.get()) &&
        host::equal(host::getattr(mine.get(), HN("st_gid")).get(), gid.get())) {
      return true;
    }
    // EINVAL: an owner or group this user namespace does not map.
    return permitted([&] { op("fchown", fd, uid.get(), gid.get()); }, {EPERM, EACCES, EINVAL});
  }

  // Give the new file its bits. False, where it replaces the file of `st`,
  // when that is refused for want of rights: having given it another's
  // owner, root without the right to set the bits of another's file may
  // still write the file itself in place.
  bool give_bits(PyObject* temp, PyObject* perm, PyObject* st) {
    auto set = [&] { op("chmod", temp, perm); };
    if (st) return permitted(set);
    set();
    return true;
  }

  // Run one step of a replacement; false where it is refused for want of rights.
  template <typename F>
  bool permitted(F&& step, std::initializer_list<long> refusals = {EPERM, EACCES}) {
    try {
      step();
    } catch (const host::Error&) {
      if (!pending_errno_in(refusals)) throw;
      PyErr_Clear();
      return false;
    }
    return true;
  }

  // The rename is made durable. A file system that cannot sync a directory,
  // or a directory this user may not open, is left to its own ways: the file
  // itself is whole and in place.
  void sync_directory(PyObject* target) {
    Ref dir = path_op("dirname", target);
    if (!host::truth(dir.get())) dir = host::text(".");
    Ref fd;
    try {
      fd = op("open", dir.get(), flag("O_RDONLY").get());
      op("fsync", fd.get());
    } catch (const host::Error&) {
      if (fd) quietly([&] { op("close", fd.get()); });
      if (!pending_errno_in({EINVAL, EACCES})) throw;
      PyErr_Clear();
      return;
    }
    op("close", fd.get());
  }

  Ref os_;
  Ref path_;
  PyObject* shown_;    // the path the caller gave: errors name it
  PyObject* content_;  // the whole new content, a str
  PyObject* perm_;     // the bits the file gets; nullptr: an existing file keeps its own
  Py_ssize_t size_;
};

}  // namespace

namespace config_detail {

Ref permission_bits(PyObject* st) {
  Ref st_mode = host::getattr(st, HN("st_mode"));
  return host::check(PyNumber_And(st_mode.get(), host::integer(07777).get()));
}

void write_whole(PyObject* path, PyObject* content, PyObject* perm) {
  // The path is read once, as plain text: a subclass's own methods would run
  // in every os.path call below. Any other path is taken or refused as
  // open() takes it: as text.
  Ref text = PyString_Check(path) || PyUnicode_Check(path) ? host::plain_text(path)
                                                           : host::check(PyUnicode_FromObject(path));
  if (!PyString_Check(content)) host::raise(PyExc_TypeError, "file content must be a str");
  Writer(text.get(), content, perm).write();
}

}  // namespace config_detail
}  // namespace lanquist
