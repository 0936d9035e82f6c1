#include "engine/Render.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "engine/Eval.h"
#include "engine/FloatInt.h"
#include "engine/Patterns.h"

namespace morvane {

// ---------------------------------------------------------------------------
// Preparing a texture

namespace {

// Whether a vector already has unit length as far as single precision can
// tell: dividing such a vector by its length again may move a component by
// one unit in the last place, and back on the next division.  The squared
// length of any vector scaled to unit length in single precision is 1
// within about 3 units in the last place of 1.
bool IsUnitVector(const float v[3])
{
    const double x = v[0], y = v[1], z = v[2];
    return std::fabs(x * x + y * y + z * z - 1.0) <= 4.0 * std::numeric_limits<float>::epsilon();
}

}  // namespace

void PrepareLayerForRender(Layer& layer)
{
    LayerRecord& rec = layer.rec;
    float light[3] = {rec.lightDirX, rec.lightDirY, rec.lightDirZ};
    // A light scaled once stays as it is: preparing twice changes no byte.
    if (!IsUnitVector(light) && NormaliseVector(light)) {
        rec.lightDirX = light[0];
        rec.lightDirY = light[1];
        rec.lightDirZ = light[2];
    }

    // What the patterns keep written in the layer (the brick mortar width):
    // done here, once, on the calling thread before any worker starts, so
    // that the patterns themselves only read the layer.
    PrepareLayerPatterns(layer);
}

void PrepareForRender(Texture& texture)
{
    for (LayerSlot& slot : texture.layers) PrepareLayerForRender(slot.layer);
}

int HardwareThreads()
{
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

std::vector<float> PixelCoordinates(int first, int count, int size)
{
    std::vector<float> out(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        out[static_cast<size_t>(i)] = static_cast<float>(first + i) / static_cast<float>(size);
    return out;
}

namespace {

// ---------------------------------------------------------------------------
// Worker threads, started on first use and kept for the life of the process.

class WorkerPool {
public:
    static WorkerPool& Instance()
    {
        static WorkerPool pool;
        return pool;
    }

    // Runs `task` on a worker; makes sure at least `workers` threads exist,
    // as far as threads can be started (without memory for another one's
    // stack, the threads there are do the work).
    void Post(std::function<void()> task, int workers)
    {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(task));
            try {
                while (static_cast<int>(threads_.size()) < workers) threads_.emplace_back([this] { Loop(); });
            } catch (const std::system_error&) {
            } catch (const std::bad_alloc&) {
            }
        }
        wake_.notify_one();
    }

    ~WorkerPool()
    {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

private:
    void Loop()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
                if (queue_.empty()) return;  // quitting
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> threads_;
    bool quit_ = false;
};

// ---------------------------------------------------------------------------
// One render.  Shared by the calling thread and the workers; a worker that
// starts after the render has ended finds it closed and touches nothing
// else, so the job outlives the call safely.

struct Job {
    const Texture* texture = nullptr;
    int32_t displayMode = 0;
    int32_t current = 0;
    std::vector<float> u;
    std::vector<float> v;
    uint8_t* out = nullptr;
    std::ptrdiff_t stride = 0;
    bool reverse = false;
    const std::atomic<bool>* stop = nullptr;

    std::mutex mutex;
    std::condition_variable changed;
    int next = 0;         // rows handed out
    int inFlight = 0;     // rows being rendered
    int rendered = 0;     // rows finished
    bool closed = false;  // no more rows are handed out
    std::vector<int> finished;  // finished rows not yet reported

    int Rows() const { return static_cast<int>(v.size()); }

    // The next row to render, or -1 when there is none (or the render is
    // over or stopped).
    int Claim()
    {
        std::lock_guard lock(mutex);
        if (closed || next >= Rows()) return -1;
        if (stop && stop->load(std::memory_order_relaxed)) {
            closed = true;
            return -1;
        }
        const int k = next++;
        ++inFlight;
        return reverse ? Rows() - 1 - k : k;
    }

    void Finish(int row)
    {
        {
            std::lock_guard lock(mutex);
            --inFlight;
            ++rendered;
            finished.push_back(row);
        }
        changed.notify_all();
    }

    void Close()
    {
        std::lock_guard lock(mutex);
        closed = true;
    }

    void RenderRow(int row, EvalContext& ctx) const
    {
        uint8_t* px = out + static_cast<std::ptrdiff_t>(row) * stride;
        const float rowV = v[static_cast<size_t>(row)];
        const size_t w = u.size();
        for (size_t x = 0; x < w; ++x, px += 4) {
            float colour[3];
            EvalTexture(u[x], rowV, *texture, colour, displayMode, current, ctx);
            // The colour is clamped to 0..1, so these are bytes.
            px[0] = static_cast<uint8_t>(static_cast<int>(colour[2] * 255.0f));
            px[1] = static_cast<uint8_t>(static_cast<int>(colour[1] * 255.0f));
            px[2] = static_cast<uint8_t>(static_cast<int>(colour[0] * 255.0f));
            px[3] = 0;
        }
    }

    // The loop of a worker: rows until there are none left.
    void Work()
    {
        std::optional<EvalContext> ctx;
        for (int row; (row = Claim()) >= 0;) {
            if (!ctx) ctx.emplace();
            RenderRow(row, *ctx);
            Finish(row);
        }
    }
};

}  // namespace

RenderResult Render(const Texture& texture, int32_t displayMode, int32_t current,
                    std::span<const float> u, std::span<const float> v, uint8_t* out,
                    std::ptrdiff_t stride, const RenderOptions& options)
{
    RenderResult result;
    const int rows = static_cast<int>(v.size());
    if (u.empty() || rows == 0) {
        result.complete = true;
        return result;
    }
    for (int j = 0; j < rows; ++j) std::memset(out + static_cast<std::ptrdiff_t>(j) * stride, 0, u.size() * 4);

    auto job = std::make_shared<Job>();
    job->texture = &texture;
    job->displayMode = displayMode;
    job->current = current;
    job->u.assign(u.begin(), u.end());
    job->v.assign(v.begin(), v.end());
    job->out = out;
    job->stride = stride;
    job->reverse = options.reverseRowOrder;
    job->stop = options.stop;

    // Room for every row's report, made now: a worker never allocates (a
    // worker that ran out of memory would end the program).
    std::vector<int> batch;
    job->finished.reserve(static_cast<size_t>(rows));
    batch.reserve(static_cast<size_t>(rows));

    int threads = options.threads > 0 ? options.threads : HardwareThreads();
    threads = std::min(threads, rows);
    for (int i = 1; i < threads; ++i) {
        try {
            WorkerPool::Instance().Post([job] { job->Work(); }, threads - 1);
        } catch (const std::bad_alloc&) {
            break;  // the rows go to the threads already at work, and to this one
        }
    }

    // Reports the rows finished since the last report; false once the
    // callback has asked to stop.
    int reported = 0;
    bool wanted = true;
    auto report = [&](std::vector<int>& rowsDone) {
        for (int row : rowsDone) {
            ++reported;
            if (wanted && options.rowDone && !options.rowDone(RenderProgress{row, reported, rows})) {
                wanted = false;
                job->Close();
            }
        }
        rowsDone.clear();
    };

    // The calling thread renders rows too, reporting between them.
    EvalContext ctx;
    while (wanted) {
        const int row = job->Claim();
        if (row < 0) break;
        job->RenderRow(row, ctx);
        job->Finish(row);
        {
            std::lock_guard lock(job->mutex);
            batch.swap(job->finished);
        }
        report(batch);
    }

    // Then waits for the rows other threads are still rendering.
    job->Close();
    for (;;) {
        {
            std::unique_lock lock(job->mutex);
            job->changed.wait(lock, [&] { return job->inFlight == 0 || !job->finished.empty(); });
            batch.swap(job->finished);
            if (batch.empty() && job->inFlight == 0) {
                result.rowsRendered = job->rendered;
                break;
            }
        }
        report(batch);
    }
    result.complete = result.rowsRendered == rows;
    return result;
}

RenderResult RenderRect(const Texture& texture, int imageWidth, int imageHeight, int x0, int y0,
                        int w, int h, int32_t displayMode, int32_t current, uint8_t* out,
                        std::ptrdiff_t stride, const RenderOptions& options)
{
    if (w <= 0 || h <= 0 || imageWidth <= 0 || imageHeight <= 0) return RenderResult{true, 0};
    const std::vector<float> u = PixelCoordinates(x0, w, imageWidth);
    const std::vector<float> v = PixelCoordinates(y0, h, imageHeight);
    return Render(texture, displayMode, current, u, v, out, stride, options);
}

std::vector<uint8_t> RenderImage(const Texture& texture, int width, int height, int32_t displayMode,
                                 int32_t current, bool topRowFirst, const RenderOptions& options,
                                 RenderResult* result)
{
    if (width <= 0 || height <= 0) {
        if (result) *result = RenderResult{true, 0};
        return {};
    }
    std::vector<uint8_t> image(static_cast<size_t>(width) * static_cast<size_t>(height) * 4u);
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 4;
    uint8_t* first = image.data();
    std::ptrdiff_t stride = rowBytes;
    if (topRowFirst) {
        first += (height - 1) * rowBytes;
        stride = -rowBytes;
    }
    const RenderResult r =
        RenderRect(texture, width, height, 0, 0, width, height, displayMode, current, first, stride, options);
    if (result) *result = r;
    return image;
}

void RenderLayerPreview(const Layer& layer, int width, int height, uint8_t* out, std::ptrdiff_t stride)
{
    if (width <= 0 || height <= 0) return;
    EvalContext ctx;
    const bool relief = layer.rec.reliefIntensity > 0.0f;
    for (int j = 0; j < height; ++j) {
        uint8_t* px = out + static_cast<std::ptrdiff_t>(j) * stride;
        const float v = static_cast<float>(j) / static_cast<float>(height);
        for (int k = 0; k < width; ++k, px += 4) {
            const float u = static_cast<float>(k) / static_cast<float>(width);
            float colour[3] = {0.0f, 0.0f, 0.0f};
            float normal[3] = {0.0f, 0.0f, 1.0f};
            EvalLayer(u, v, layer, colour, normal, 0.0f, 0.0f, ctx);
            if (relief) {
                NormaliseVector(normal);
                ShadeSphere(layer.rec, colour, normal);
            }
            ClampColour(colour);
            px[0] = static_cast<uint8_t>(static_cast<int>(colour[2] * 255.0f));
            px[1] = static_cast<uint8_t>(static_cast<int>(colour[1] * 255.0f));
            px[2] = static_cast<uint8_t>(static_cast<int>(colour[0] * 255.0f));
            px[3] = 0;
        }
    }
}

}  // namespace morvane
