#include "platform/fake/recording_file_system.h"

namespace mervo {

namespace {
RecordingFileSystem::Step step(RecordingFileSystem::Op op, const QString& path, int64_t offset = 0, int64_t bytes = 0,
                               const QString& from = QString()) {
    return RecordingFileSystem::Step{op, path, offset, bytes, from};
}
}  // namespace

class RecordingFileSystem::File : public DurableFile {
public:
    File(RecordingFileSystem& fs, std::unique_ptr<DurableFile> inner) : fs_(fs), inner_(std::move(inner)) {}
    const QString& path() const override { return inner_->path(); }
    Status writeAt(int64_t offset, const void* data, size_t n) override {
        Status s = fs_.record(step(Op::Write, path(), offset, static_cast<int64_t>(n)));
        return s ? inner_->writeAt(offset, data, n) : s;
    }
    Status truncate(int64_t length) override {
        Status s = fs_.record(step(Op::Truncate, path(), length, 0));
        return s ? inner_->truncate(length) : s;
    }
    Status sync() override {
        Status s = fs_.record(step(Op::Sync, path()));
        return s ? inner_->sync() : s;
    }
    Status setModificationTime(const QDateTime& when) override {
        Status s = fs_.record(step(Op::SetTime, path()));
        return s ? inner_->setModificationTime(when) : s;
    }
    Status close() override {
        Status s = fs_.record(step(Op::Close, path()));
        Status c = inner_->close();
        return s ? c : s;
    }

private:
    RecordingFileSystem& fs_;
    std::unique_ptr<DurableFile> inner_;
};

void RecordingFileSystem::failAt(Op op, int nth) {
    std::lock_guard<std::mutex> lock(mutex_);
    failOp_ = op;
    failIn_ = nth;
}

void RecordingFileSystem::setFreeBytes(int64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    freeBytes_ = bytes;
}

std::vector<RecordingFileSystem::Step> RecordingFileSystem::steps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
}

int RecordingFileSystem::count(Op op) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Step& s : steps_) n += s.op == op ? 1 : 0;
    return n;
}

Status RecordingFileSystem::record(const Step& step) {
    std::lock_guard<std::mutex> lock(mutex_);
    steps_.push_back(step);
    if (failIn_ > 0 && step.op == failOp_ && --failIn_ == 0)
        return Status::failure(QStringLiteral("文件 %1 写入失败（No space left on device）").arg(step.path),
                               QStringLiteral("No space left on device"));
    return {};
}

Result<std::unique_ptr<DurableFile>> RecordingFileSystem::create(const QString& path) {
    if (Status s = record(step(Op::Create, path)); !s) return s;
    auto f = inner_.create(path);
    if (!f) return f.status();
    return std::unique_ptr<DurableFile>(std::make_unique<File>(*this, std::move(*f)));
}

Result<std::unique_ptr<DurableFile>> RecordingFileSystem::createBeside(const QString& target, const QString& tag) {
    auto f = inner_.createBeside(target, tag);
    if (!f) return f.status();
    if (Status s = record(step(Op::Create, (*f)->path())); !s) {
        inner_.remove((*f)->path());
        return s;
    }
    return std::unique_ptr<DurableFile>(std::make_unique<File>(*this, std::move(*f)));
}

Status RecordingFileSystem::rename(const QString& from, const QString& to) {
    Status s = record(step(Op::Rename, to, 0, 0, from));
    return s ? inner_.rename(from, to) : s;
}

Status RecordingFileSystem::syncDirectoryOf(const QString& path) {
    Status s = record(step(Op::SyncDirectory, path));
    return s ? inner_.syncDirectoryOf(path) : s;
}

void RecordingFileSystem::remove(const QString& path) {
    (void)record(step(Op::Remove, path));
    inner_.remove(path);
}

Result<int64_t> RecordingFileSystem::freeBytes(const QString& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (freeBytes_ >= 0) return freeBytes_;
    }
    return inner_.freeBytes(path);
}

Status RecordingFileSystem::read(const ReadOnlyFile& file, int64_t offset, void* out, size_t n) {
    Status s = record(step(Op::Read, file.path(), offset, static_cast<int64_t>(n)));
    return s ? inner_.read(file, offset, out, n) : s;
}

}  // namespace mervo
