// The worked exchanges of docs/transcripts/ replayed byte for byte against the product's
// server over demo data on a loopback port: a changed reply fails here, so the guide
// cannot drift from the server. The guide (docs/wire-protocol.md) shows each file whole,
// and the login transcript is also exactly what tavrin-cli --trace prints for that login,
// as the guide shows it.
//
// A transcript is lines "C: " (bytes the client sends), "S: " (bytes the server answers),
// in the form of client/tracing_channel.h; lines starting '#' and blank lines are notes.
// Consecutive lines of one direction form one piece. After the last piece the server
// must have closed the connection, having sent nothing more.

#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/tavrin_cli/command_line.h"
#include "client/tracing_channel.h"
#include "demo_data/demo_data.h"
#include "engine/database_session.h"
#include "product/server_container.h"
#include "support/temp_folder.h"
#include "transport/tcp_client_channel.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

const std::filesystem::path kTranscriptFolder = TAVRIN_TRANSCRIPTS;
const std::filesystem::path kGuide = kTranscriptFolder.parent_path() / "wire-protocol.md";
constexpr char kFenceStart[] = "```text\n";
constexpr char kFenceEnd[] = "```\n";
constexpr char kTraceCommand[] = "$ tavrin-cli --trace login admin zul123 2>&1\n";
// A reply shorter than its transcript would leave the replay waiting; after this the
// connection is shut so the read fails instead.
constexpr auto kReplayBound = std::chrono::seconds(20);

struct TTranscriptPiece {
  bool FromClient = false;
  std::string Bytes;
};

// The pieces of a transcript's text; a line that is neither a note nor a piece in the
// trace form fails the test, naming it.
std::vector<TTranscriptPiece> PiecesOf(const std::string& Text) {
  std::vector<TTranscriptPiece> Pieces;
  std::istringstream Lines(Text);
  std::string Line;
  while (std::getline(Lines, Line)) {
    if (Line.empty() || Line.starts_with('#')) continue;
    const bool FromClient = Line.starts_with(kTraceFromClient);
    if (!FromClient && !Line.starts_with(kTraceFromServer)) {
      ADD_FAILURE() << "not a transcript line: " << Line;
      continue;
    }
    const auto Bytes = TraceBytes(std::string_view(Line).substr(kTraceFromClient.size()));
    if (!Bytes) {
      ADD_FAILURE() << "not in the trace form: " << Line;
      continue;
    }
    if (Pieces.empty() || Pieces.back().FromClient != FromClient) Pieces.push_back({FromClient, {}});
    Pieces.back().Bytes += *Bytes;
  }
  return Pieces;
}

std::string ReadText(const std::filesystem::path& Path) {
  std::ifstream File(Path, std::ios::binary);
  EXPECT_TRUE(File) << Path;
  std::ostringstream Text;
  Text << File.rdbuf();
  return Text.str();
}

class TSilentLog : public IActivityLogWriter {
 public:
  void Append(std::string_view) noexcept override {}
};

// The server as the program runs it: the product's container over a fresh demo folder.
class TranscriptTest : public ::testing::Test {
 protected:
  TranscriptTest() { CreateDemoData(FFolder.Path().string()); }

  TTempFolder FFolder;
  TSession FSession;
  TSilentLog FLog;
  TServerMethodsServices FServices{FLog, [this] { return FFolder.Path().string(); }, FSession,
                                   [](const std::string&) { return false; }};
  TServerContainer1 FContainer{FServices, {.Port = 0}};
};

// Shuts the channel when the replay outlives its bound, so a blocked read returns.
class TReplayBound {
 public:
  explicit TReplayBound(TDBXTcpClientChannel& Channel)
      : FThread([this, &Channel] {
          std::unique_lock Lock(FLock);
          if (FDone.wait_for(Lock, kReplayBound, [this] { return FFinished; })) return;
          FFired = true;
          Channel.Close();
        }) {}
  ~TReplayBound() {
    {
      std::lock_guard Lock(FLock);
      FFinished = true;
    }
    FDone.notify_one();
    FThread.join();
  }
  // Whether the bound was reached (the replay waited for bytes that never came).
  bool Fired() const { return FFired; }

 private:
  std::mutex FLock;
  std::condition_variable FDone;
  bool FFinished = false;  // guarded by FLock
  std::atomic<bool> FFired{false};
  std::thread FThread;     // last: started once the rest is ready
};

// Sends the client's pieces to Port and checks each reply byte for byte, then that the
// server closed the connection. Each client piece goes in writes of at most Segment
// bytes with Pause between them (the channel sends each write at once).
void Replay(std::uint16_t Port, const std::vector<TTranscriptPiece>& Pieces, std::size_t Segment,
            std::chrono::milliseconds Pause) {
  ASSERT_FALSE(Pieces.empty());
  // The transcript sends the opening probe itself.
  TDBXTcpClientChannel Channel("127.0.0.1", Port, false);
  TReplayBound Bound(Channel);
  for (std::size_t Index = 0; Index < Pieces.size(); ++Index) {
    const auto& Piece = Pieces[Index];
    const auto* Bytes = reinterpret_cast<const std::uint8_t*>(Piece.Bytes.data());
    if (Piece.FromClient) {
      for (std::size_t At = 0; At < Piece.Bytes.size(); At += Segment) {
        if (At > 0) std::this_thread::sleep_for(Pause);
        Channel.Write({Bytes + At, std::min(Segment, Piece.Bytes.size() - At)});
      }
      continue;
    }
    std::string Reply(Piece.Bytes.size(), '\0');
    std::size_t Have = 0;
    try {
      while (Have < Reply.size()) {
        auto* Into = reinterpret_cast<std::uint8_t*>(Reply.data()) + Have;
        Have += static_cast<std::size_t>(Channel.Read({Into, Reply.size() - Have}));
      }
    } catch (const std::exception& Error) {
      Reply.resize(Have);
      ADD_FAILURE() << "reply " << Index << " cut short: " << Error.what();
    }
    ASSERT_EQ(TraceText({reinterpret_cast<const std::uint8_t*>(Reply.data()), Reply.size()}),
              TraceText({Bytes, Piece.Bytes.size()}))
        << "reply " << Index;
  }
  std::uint8_t Extra[64];
  bool Closed = false;
  std::int32_t Count = 0;
  try {
    Count = Channel.Read(Extra);
    Closed = Count <= 0;
  } catch (const std::exception&) {
    Closed = true;
  }
  EXPECT_TRUE(Closed) << "more bytes after the transcript: " << TraceText({Extra, static_cast<std::size_t>(Count)});
  EXPECT_FALSE(Bound.Fired()) << "the server kept the connection open (or a reply was short)";
}

TEST_F(TranscriptTest, EveryRepliedByteIsTheServersAndTheConnectionEndsAfterTheLast) {
  for (const char* Name : {"login.txt", "table.txt", "error.txt"}) {
    SCOPED_TRACE(Name);
    const std::string Transcript = ReadText(kTranscriptFolder / Name);
    EXPECT_NE(ReadText(kGuide).find(kFenceStart + Transcript + kFenceEnd), std::string::npos)
        << "the guide does not show " << Name << " whole";
    Replay(FContainer.BoundPort(), PiecesOf(Transcript), std::string::npos, {});
  }
}

// A slow mobile link: every request arrives in small TCP segments with pauses between
// them, cut inside the probe, inside tokens and inside the binary row data alike.
TEST_F(TranscriptTest, RequestsArrivingInSmallSegmentsWithPausesGetTheSameReplies) {
  for (const char* Name : {"login.txt", "table.txt"}) {
    SCOPED_TRACE(Name);
    Replay(FContainer.BoundPort(), PiecesOf(ReadText(kTranscriptFolder / Name)), 3, std::chrono::milliseconds(10));
  }
}

// Consecutive lines of one direction joined, so that a reply that arrived in two reads
// compares equal to one that arrived whole.
std::string JoinedPieces(const std::string& Text) {
  std::string Joined;
  for (const auto& Piece : PiecesOf(Text)) {
    const auto* Bytes = reinterpret_cast<const std::uint8_t*>(Piece.Bytes.data());
    Joined += std::string(Piece.FromClient ? kTraceFromClient : kTraceFromServer) +
              TraceText({Bytes, Piece.Bytes.size()}) + "\n";
  }
  return Joined;
}

TEST_F(TranscriptTest, TheCliTracePrintsTheLoginTranscriptOnTheErrorStreamAndTheAnswerAlone) {
  const std::string Port = std::to_string(FContainer.BoundPort());
  const char* Argv[] = {"tavrin-cli", "--trace", "--port", Port.c_str(), "login", "admin", "zul123"};
  std::ostringstream Out, Err;
  EXPECT_EQ(cli::RunCommandLine(static_cast<int>(std::size(Argv)), Argv, Out, Err), 0);
  EXPECT_EQ(Out.str(), "9 - login OK, user level 9\n");
  EXPECT_EQ(JoinedPieces(Err.str()), JoinedPieces(ReadText(kTranscriptFolder / "login.txt")));
  // Every line the trace wrote is a trace line.
  std::istringstream Lines(Err.str());
  for (std::string Line; std::getline(Lines, Line);) {
    EXPECT_TRUE(Line.starts_with(kTraceFromClient) || Line.starts_with(kTraceFromServer)) << Line;
  }
  // The guide's copy of the command's output: the trace, then the answer.
  const std::string Guide = ReadText(kGuide);
  const std::size_t Start = Guide.find(kFenceStart + std::string(kTraceCommand));
  ASSERT_NE(Start, std::string::npos) << "the guide does not show the traced login";
  const std::size_t From = Start + std::strlen(kFenceStart) + std::strlen(kTraceCommand);
  std::string Shown = Guide.substr(From, Guide.find(kFenceEnd, From) - From);
  EXPECT_TRUE(Shown.ends_with(Out.str())) << Shown;
  Shown.resize(Shown.size() - std::min(Shown.size(), Out.str().size()));
  EXPECT_EQ(JoinedPieces(Shown), JoinedPieces(Err.str()));
}

}  // namespace
}  // namespace tavrin
