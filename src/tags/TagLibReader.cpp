// The tag reader over TagLib, built as the module quillet-tags.so (see playlist/TagModule.h).
#include "playlist/TagModule.h"
#include "playlist/TagReader.h"

#include <apetag.h>
#include <attachedpictureframe.h>
#include <fcntl.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <infotag.h>
#include <mpegfile.h>
#include <mpegheader.h>
#include <oggflacfile.h>
#include <opusfile.h>
#include <synchronizedlyricsframe.h>
#include <sys/stat.h>
#include <tbytevectorstream.h>
#include <textidentificationframe.h>
#include <tfilestream.h>
#include <unistd.h>
#include <unsynchronizedlyricsframe.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <xiphcomment.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <functional>
#include <utility>

namespace quillet {

namespace {

std::string Utf8(const TagLib::String& s) { return s.to8Bit(true); }
// The bytes of a text that TagLib read as Latin-1: one character per byte.
std::string Raw(const TagLib::String& s) { return s.to8Bit(false); }
std::string Bytes(const TagLib::ByteVector& v) { return std::string(v.data(), v.size()); }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The number before any "/" ("3/12" is 3); 0 when there is none.
int LeadingNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  long n = 0;
  bool any = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9' && n < 100000; ++i) {
    n = n * 10 + (s[i] - '0');
    any = true;
  }
  return any ? static_cast<int>(n) : 0;
}

// A line that starts with a "[m:ss" time stamp somewhere in the text.
bool HasLrcStamp(std::string_view text) {
  for (std::size_t at = text.find('['); at != std::string_view::npos; at = text.find('[', at + 1)) {
    std::size_t i = at + 1, digits = 0;
    while (i < text.size() && digits < 4 && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (digits == 0 || i + 2 >= text.size() || text[i] != ':') continue;
    if (text[i + 1] >= '0' && text[i + 1] <= '9' && text[i + 2] >= '0' && text[i + 2] <= '9')
      return true;
  }
  return false;
}

void PictureKind(EmbeddedPicture* p, std::string declared) {
  const std::string_view b = p->bytes;
  struct Magic {
    std::string_view head;
    const char* mime;
    const char* ext;
  };
  static constexpr Magic kMagic[] = {
      {"\xFF\xD8\xFF", "image/jpeg", "jpg"},
      {std::string_view("\x89PNG\r\n\x1A\n", 8), "image/png", "png"},
      {"GIF8", "image/gif", "gif"},
      {"BM", "image/bmp", "bmp"},
  };
  for (const Magic& m : kMagic) {
    if (b.substr(0, m.head.size()) == m.head) {
      p->mimeType = m.mime;
      p->extension = m.ext;
      return;
    }
  }
  if (b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WEBP") {
    p->mimeType = "image/webp";
    p->extension = "webp";
    return;
  }
  declared = Lower(std::move(declared));
  if (declared == "image/jpg" || declared == "jpg" || declared == "jpeg") declared = "image/jpeg";
  if (declared == "png") declared = "image/png";
  p->mimeType = declared.rfind("image/", 0) == 0 ? declared : "application/octet-stream";
  p->extension = "img";
}

// The texts of one tag that declare Latin-1, decoded together when the tag is done.
class LegacyBatch {
 public:
  void Add(std::string raw, std::string* target) { items_.push_back({std::move(raw), target}); }
  void Resolve(LegacyEncoding encoding) {
    if (items_.empty()) return;
    std::vector<std::string_view> views;
    views.reserve(items_.size());
    for (const auto& item : items_) views.push_back(item.first);
    std::vector<std::string> texts = DecodeLegacyTexts(views, encoding);
    for (std::size_t i = 0; i < items_.size(); ++i) *items_[i].second = std::move(texts[i]);
    items_.clear();
  }

 private:
  std::vector<std::pair<std::string, std::string*>> items_;
};

// The texts of a tag whose fields go by name (APE, Vorbis comments), through `text(key)`; the
// album artist under either spelling, the formats' own first.
template <typename Text>
TagTexts NamedTexts(const Text& text, const char* albumArtist, const char* albumArtistElse,
                    const char* track) {
  TagTexts t;
  t.title = text("TITLE");
  t.artist = text("ARTIST");
  t.album = text("ALBUM");
  t.albumArtist = text(albumArtist);
  if (t.albumArtist.empty()) t.albumArtist = text(albumArtistElse);
  t.trackNumber = LeadingNumber(text(track));
  return t;
}

class Reader {
 public:
  Reader(LegacyEncoding encoding, unsigned parts) : encoding_(encoding), parts_(parts) {}

  bool Wants(unsigned part) const { return (parts_ & part) != 0; }

  // Where the length of an MPEG frame comes from, asked only when a SYLT frame counts its time
  // stamps in frames: finding the first frame may read far into a damaged file.
  void SetFrameDurationSource(std::function<std::pair<int, int>()> source) {
    frameDurationSource_ = std::move(source);
  }

  void ReadId3v2(TagLib::ID3v2::Tag* tag) {
    if (!tag || tag->isEmpty()) return;
    const auto& frames = tag->frameListMap();
    if (Wants(kTagTexts)) {
      TagTexts t;
      LegacyBatch batch;
      std::string track;
      const std::pair<const char*, std::string*> ids[] = {{"TIT2", &t.title},
                                                          {"TPE1", &t.artist},
                                                          {"TALB", &t.album},
                                                          {"TPE2", &t.albumArtist},
                                                          {"TRCK", &track}};
      for (const auto& [id, target] : ids) {
        auto it = frames.find(id);
        if (it == frames.end()) continue;
        for (auto* frame : it->second) {
          auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame);
          if (!text) continue;
          const TagLib::StringList fields = text->fieldList();
          if (fields.isEmpty() || fields.front().isEmpty()) continue;
          // Several values (ID3v2.4 separates them by NULs) read as one text.
          const TagLib::String joined = fields.toString(" / ");
          if (text->textEncoding() == TagLib::String::Latin1)
            batch.Add(Raw(joined), target);
          else
            *target = Utf8(joined);
          break;
        }
      }
      batch.Resolve(encoding_);
      t.trackNumber = LeadingNumber(track);
      Merge(std::move(t));
    }
    if (Wants(kTagCover)) {
      auto it = frames.find("APIC");
      if (it != frames.end()) {
        for (auto* frame : it->second) {
          auto* pic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
          if (!pic || pic->mimeType() == "-->") continue;  // a link, not a picture
          OfferPicture(pic->picture(), Utf8(pic->mimeType()),
                       pic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        }
      }
    }
    if (Wants(kTagLyric)) {
      LegacyBatch batch;
      std::vector<std::string> plain;
      auto it = frames.find("USLT");
      if (it != frames.end()) {
        plain.reserve(it->second.size());
        for (auto* frame : it->second) {
          auto* uslt = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame);
          if (!uslt || uslt->text().isEmpty()) continue;
          plain.emplace_back();
          if (uslt->textEncoding() == TagLib::String::Latin1)
            batch.Add(Raw(uslt->text()), &plain.back());
          else
            plain.back() = Utf8(uslt->text());
        }
      }
      std::vector<TimedText> timed;
      it = frames.find("SYLT");
      if (it != frames.end()) {
        for (auto* frame : it->second) {
          auto* sylt = dynamic_cast<TagLib::ID3v2::SynchronizedLyricsFrame*>(frame);
          if (!sylt || !timed.empty()) continue;
          const auto entries = sylt->synchedText();
          const bool latin1 = sylt->textEncoding() == TagLib::String::Latin1;
          const bool inFrames =
              sylt->timestampFormat() == TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMpegFrames;
          if (inFrames && frameDurationSource_) {
            const auto [samples, rate] = frameDurationSource_();
            if (samples > 0 && rate > 0) samplesPerFrame_ = samples, sampleRate_ = rate;
            frameDurationSource_ = nullptr;
          }
          timed.reserve(entries.size());
          for (const auto& e : entries) {
            long long ms = e.time;
            if (inFrames) ms = ms * samplesPerFrame_ * 1000 / sampleRate_;
            timed.push_back({ms, {}});
            if (latin1)
              batch.Add(Raw(e.text), &timed.back().text);
            else
              timed.back().text = Utf8(e.text);
          }
        }
      }
      batch.Resolve(encoding_);
      for (auto& text : plain) OfferLyric(std::move(text));
      if (!timed.empty() && synced_.empty()) synced_ = TimedTextToLrc(timed);
    }
  }

  void ReadApe(TagLib::APE::Tag* tag) {
    if (!tag || tag->isEmpty()) return;
    const auto& items = tag->itemListMap();
    auto text = [&](const char* key) -> std::string {
      auto it = items.find(key);
      if (it == items.end() || it->second.type() != TagLib::APE::Item::Text) return {};
      return Utf8(it->second.values().toString(" / "));
    };
    if (Wants(kTagTexts)) Merge(NamedTexts(text, "ALBUM ARTIST", "ALBUMARTIST", "TRACK"));
    if (Wants(kTagCover)) {
      auto it = items.find("COVER ART (FRONT)");
      if (it != items.end() && it->second.type() == TagLib::APE::Item::Binary) {
        // A file name, a NUL, then the picture.
        const TagLib::ByteVector data = it->second.binaryData();
        const int nul = data.find('\0');
        if (nul >= 0) OfferPicture(data.mid(static_cast<unsigned>(nul) + 1), {}, true);
      }
    }
    if (Wants(kTagLyric)) OfferLyric(text("LYRICS"));
  }

  void ReadXiph(TagLib::Ogg::XiphComment* tag) {
    if (!tag) return;
    const auto& fields = tag->fieldListMap();
    auto text = [&](const char* key) -> std::string {
      auto it = fields.find(key);
      if (it == fields.end() || it->second.isEmpty()) return {};
      return Utf8(it->second.toString(" / "));
    };
    if (Wants(kTagTexts)) Merge(NamedTexts(text, "ALBUMARTIST", "ALBUM ARTIST", "TRACKNUMBER"));
    if (Wants(kTagCover)) ReadPictures(tag->pictureList());
    if (Wants(kTagLyric)) {
      for (const char* key : {"SYNCEDLYRICS", "LYRICS", "UNSYNCEDLYRICS"}) {
        auto it = fields.find(key);
        if (it == fields.end()) continue;
        for (const auto& value : it->second) OfferLyric(Utf8(value));
      }
    }
  }

  void ReadPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    for (auto* pic : pictures) {
      if (!pic) continue;
      OfferPicture(pic->data(), Utf8(pic->mimeType()),
                   pic->type() == TagLib::FLAC::Picture::FrontCover);
    }
  }

  // Texts only. ID3v1 is Latin-1 by nature, so every text of it is examined; TagLib reads RIFF
  // INFO texts as UTF-8 and they are taken so.
  void ReadPlainTag(TagLib::Tag* tag, bool latin1) {
    if (!tag || tag->isEmpty() || !Wants(kTagTexts)) return;
    TagTexts t;
    if (latin1) {
      LegacyBatch batch;
      batch.Add(Raw(tag->title()), &t.title);
      batch.Add(Raw(tag->artist()), &t.artist);
      batch.Add(Raw(tag->album()), &t.album);
      batch.Resolve(encoding_);
    } else {
      t.title = Utf8(tag->title());
      t.artist = Utf8(tag->artist());
      t.album = Utf8(tag->album());
    }
    t.trackNumber = static_cast<int>(std::min(tag->track(), 100000u));
    Merge(std::move(t));
  }

  EmbeddedTags Finish() {
    // A timed lyric beats a synchronised frame, which beats plain text.
    if (!timedLyric_.empty())
      out_.lyric = std::move(timedLyric_);
    else if (!synced_.empty())
      out_.lyric = std::move(synced_);
    else
      out_.lyric = std::move(plainLyric_);
    return std::move(out_);
  }

 private:
  void Merge(TagTexts t) {
    auto fill = [](std::string& field, std::string& value) {
      if (field.empty()) field = std::move(value);
    };
    fill(out_.texts.title, t.title);
    fill(out_.texts.artist, t.artist);
    fill(out_.texts.album, t.album);
    fill(out_.texts.albumArtist, t.albumArtist);
    if (out_.texts.trackNumber == 0) out_.texts.trackNumber = t.trackNumber;
  }

  void OfferPicture(const TagLib::ByteVector& data, std::string mime, bool front) {
    if (data.isEmpty()) return;
    if (!out_.cover.Empty() && (coverIsFront_ || !front)) return;
    out_.cover.bytes = Bytes(data);
    PictureKind(&out_.cover, std::move(mime));
    coverIsFront_ = front;
  }

  void OfferLyric(std::string text) {
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return;
    if (HasLrcStamp(text)) {
      if (timedLyric_.empty()) timedLyric_ = std::move(text);
    } else if (plainLyric_.empty()) {
      plainLyric_ = std::move(text);
    }
  }

  LegacyEncoding encoding_;
  unsigned parts_;
  std::function<std::pair<int, int>()> frameDurationSource_;
  int samplesPerFrame_ = 1152;
  int sampleRate_ = 44100;
  EmbeddedTags out_;
  bool coverIsFront_ = false;
  std::string timedLyric_, synced_, plainLyric_;
};

EmbeddedTags ReadStream(TagLib::IOStream* stream, TagContainer container, LegacyEncoding encoding,
                        unsigned parts) {
  Reader reader(encoding, parts);
  auto* factory = TagLib::ID3v2::FrameFactory::instance();
  try {
    switch (container) {
      case TagContainer::kDetect:
      case TagContainer::kMpeg: {
        TagLib::MPEG::File file(stream, factory, false);
        if (!file.isValid()) break;
        reader.SetFrameDurationSource([&file]() -> std::pair<int, int> {
          const long first = file.firstFrameOffset();
          if (first < 0) return {0, 0};
          const TagLib::MPEG::Header header(&file, first);
          if (!header.isValid()) return {0, 0};
          return {header.samplesPerFrame(), header.sampleRate()};
        });
        if (file.hasID3v2Tag()) reader.ReadId3v2(file.ID3v2Tag());
        if (file.hasAPETag()) reader.ReadApe(file.APETag());
        if (file.hasID3v1Tag()) reader.ReadPlainTag(file.ID3v1Tag(), true);
        break;
      }
      case TagContainer::kFlac: {
        TagLib::FLAC::File file(stream, factory, false);
        if (!file.isValid()) break;
        if (file.hasID3v2Tag()) reader.ReadId3v2(file.ID3v2Tag());
        if (file.hasXiphComment()) reader.ReadXiph(file.xiphComment());
        if (reader.Wants(kTagCover)) reader.ReadPictures(file.pictureList());
        if (file.hasID3v1Tag()) reader.ReadPlainTag(file.ID3v1Tag(), true);
        break;
      }
      case TagContainer::kOggVorbis: {
        TagLib::Ogg::Vorbis::File file(stream, false);
        if (file.isValid()) reader.ReadXiph(file.tag());
        break;
      }
      case TagContainer::kOggOpus: {
        TagLib::Ogg::Opus::File file(stream, false);
        if (file.isValid()) reader.ReadXiph(file.tag());
        break;
      }
      case TagContainer::kOggFlac: {
        TagLib::Ogg::FLAC::File file(stream, false);
        if (file.isValid() && file.hasXiphComment()) reader.ReadXiph(file.tag());
        break;
      }
      case TagContainer::kWave: {
        TagLib::RIFF::WAV::File file(stream, false);
        if (!file.isValid()) break;
        if (file.hasID3v2Tag()) reader.ReadId3v2(file.ID3v2Tag());
        if (file.hasInfoTag()) reader.ReadPlainTag(file.InfoTag(), false);
        break;
      }
    }
  } catch (const std::exception&) {
    // Out of memory on an absurd size field: what was read so far stands.
  }
  return reader.Finish();
}

EmbeddedTags ReadBytes(std::string_view bytes, TagContainer container, LegacyEncoding encoding,
                       unsigned parts) {
  if (container == TagContainer::kDetect) container = DetectTagContainer(bytes);
  TagLib::ByteVector data(bytes.data(), static_cast<unsigned>(bytes.size()));
  TagLib::ByteVectorStream stream(data);
  return ReadStream(&stream, container, encoding, parts);
}

EmbeddedTags ReadFile(const std::string& path, LegacyEncoding encoding, unsigned parts) {
  // Non-blocking open and a regular file only: a FIFO without a writer or a device must not
  // hang the caller.
  if (path.empty() || path.find('\0') != std::string::npos) return {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
    ::close(fd);
    return {};
  }
  auto readAt = [fd](off_t at, std::size_t n) {
    std::string buf(n, '\0');
    std::size_t got = 0;
    while (got < n) {
      const ssize_t r = ::pread(fd, buf.data() + got, n - got, at + static_cast<off_t>(got));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      got += static_cast<std::size_t>(r);
    }
    buf.resize(got);
    return buf;
  };
  const std::string head = readAt(0, 128);
  const std::size_t id3End = Id3v2TagEnd(head);
  const std::string afterId3 = id3End > 0 && static_cast<off_t>(id3End) < st.st_size
                                   ? readAt(static_cast<off_t>(id3End), 4)
                                   : std::string();
  const TagContainer container = DetectTagContainer(head, afterId3);

  // The stream takes the descriptor over and closes it; only when it cannot is it ours still.
  TagLib::FileStream stream(fd, true);
  if (!stream.isOpen()) {
    ::close(fd);
    return {};
  }
  return ReadStream(&stream, container, encoding, parts);
}

}  // namespace

}  // namespace quillet

extern "C" __attribute__((visibility("default"))) const quillet::TagModule* quillet_tag_module() {
  static const quillet::TagModule module{quillet::kTagModuleVersion, &quillet::ReadFile,
                                         &quillet::ReadBytes};
  return &module;
}
