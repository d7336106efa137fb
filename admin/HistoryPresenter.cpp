#include "admin/HistoryPresenter.h"

#include "platform/Files.h"
#include "platform/RegionalTime.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace quillet::admin {

namespace {

constexpr int DayTicks = 4; // a date label is wide
constexpr int MegabyteTicks = 5;

Date LocalDateOf(std::int64_t unixSeconds) {
    const platform::LocalDateTime t = platform::LocalDateTimeOf(unixSeconds);
    return EncodeDate(t.year, t.month, t.day);
}

std::int64_t MidnightOf(Date date) {
    return LocalToUnix(static_cast<std::int64_t>(date) * 86400);
}

// Whatever the locale, without trailing zeros: "0", "0.5", "1500".
std::string Fixed(double value, int decimals) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string number = ec == std::errc() ? std::string(text, end) : std::string();
    if (number.find('.') != std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);
        if (number.back() == '.')
            number.pop_back();
    }
    return number;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Runs while the view is told what to show: its signals then are no input.
class Telling {
public:
    explicit Telling(bool& flag) : flag_(flag), was_(std::exchange(flag, true)) {}
    ~Telling() { flag_ = was_; }

private:
    bool& flag_;
    bool was_;
};

} // namespace

// ---- The charts' axes ----

ChartAxis DayAxis(std::int64_t firstSecond, std::int64_t lastSecond, int maxTicks) {
    ChartAxis axis;
    axis.low = static_cast<double>(firstSecond) - 43200;
    axis.high = static_cast<double>(lastSecond) + 43200;
    const Date first = LocalDateOf(firstSecond - 43200) + 1;
    const Date last = LocalDateOf(lastSecond + 43200);
    int step = 1;
    for (const int s : {1, 2, 7, 14, 28, 56, 91, 182, 364, 728, 1820, 3640}) {
        step = s;
        if ((last - first) / s + 1 <= maxTicks)
            break;
    }
    for (Date day = first; day <= last; day += step)
        axis.ticks.push_back({static_cast<double>(MidnightOf(day)), DateToDashText(day)});
    return axis;
}

ChartAxis MegabyteAxis(double max, int maxTicks) {
    if (!(max > 0))
        max = 1;
    const double target = max / std::max(1, maxTicks - 1);
    const double power = std::pow(10.0, std::floor(std::log10(target)));
    double step = 10 * power;
    for (const double f : {1.0, 2.0, 5.0})
        if (f * power >= target) {
            step = f * power;
            break;
        }
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    // The first step above the largest value: a point never touches the frame.
    const int count = static_cast<int>(std::floor(max / step + 1e-9)) + 1;
    ChartAxis axis;
    axis.high = step * count;
    for (int i = 0; i <= count; ++i)
        axis.ticks.push_back({i * step, Fixed(i * step, decimals) + " MB"});
    return axis;
}

HistoryChart ChartOf(std::string title, std::vector<ChartSeries> series) {
    HistoryChart chart{std::move(title), std::move(series), {}, {}};
    std::optional<std::int64_t> first, last;
    double top = 0;
    for (const ChartSeries& s : chart.series)
        for (const ChartPoint& p : s.points) {
            first = std::min(first.value_or(p.unixSeconds), p.unixSeconds);
            last = std::max(last.value_or(p.unixSeconds), p.unixSeconds);
            top = std::max(top, p.megabytes);
        }
    if (first)
        chart.x = DayAxis(*first, *last, DayTicks);
    chart.y = MegabyteAxis(top, MegabyteTicks);
    return chart;
}

// ---- The window's sequence ----

HistoryPresenter::HistoryPresenter(HistoryView& view, std::function<std::string()> compactorPath)
    : view_(view), compactorPath_(std::move(compactorPath)) {}

HistoryPresenter::~HistoryPresenter() {
    if (worker_.joinable())
        worker_.join();
}

std::string HistoryPresenter::HistoryPath() const {
    return CompactorFileOf(compactorPath_ ? compactorPath_() : std::string(), HistoryFileName);
}

std::string HistoryPresenter::ErrorLogPath() const {
    return CompactorFileOf(compactorPath_ ? compactorPath_() : std::string(), "error.log");
}

void HistoryPresenter::Show() {
    shown_ = true;
    startReading(watch_.reloadIfChanged(HistoryPath()));
}

void HistoryPresenter::Reload() {
    startReading(watch_.reload(HistoryPath()));
}

void HistoryPresenter::Tick() {
    if (shown_)
        startReading(watch_.reloadIfChanged(HistoryPath()));
}

void HistoryPresenter::Close() {
    shown_ = false;
    view_.hide();
}

void HistoryPresenter::startReading(const std::optional<std::string>& path) {
    if (!path)
        return;
    if (worker_.joinable())
        worker_.join();
    worker_ = std::thread([this, path = *path] {
        auto load = std::make_shared<const HistoryLoad>(LoadHistory(path));
        {
            const std::lock_guard<std::mutex> hold(resultLock_);
            result_ = std::move(load);
        }
        view_.postLoaded();
    });
}

void HistoryPresenter::Loaded() {
    std::shared_ptr<const HistoryLoad> load;
    {
        const std::lock_guard<std::mutex> hold(resultLock_);
        load = std::move(result_);
    }
    if (!load)
        return;
    if (worker_.joinable())
        worker_.join();
    // The same line stands at the same place in the file after it grew.
    if (selected_ && *selected_ >= load->contents.records.size())
        selected_.reset();
    query_.setHistory(std::move(load));
    {
        const Telling telling(telling_);
        showChoices(FilterBox::Configuration, query_.configurationChoices(), query_.filter().configuration);
        showChoices(FilterBox::Outcome, query_.outcomeChoices(), query_.filter().outcome);
        // The query moves dates that were at the data's ends along with the data.
        if (query_.filter().from && query_.filter().to)
            view_.showDates(*query_.filter().from, *query_.filter().to);
        view_.showFileNote(query_.fileNote(watch_.path()));
    }
    filtered();
    startReading(watch_.loaded());
}

void HistoryPresenter::showChoices(FilterBox box, std::vector<FilterChoice> choices, const std::string& value) {
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].value == value)
            chosen = i;
    auto& kept = choices_[static_cast<int>(box)];
    kept = std::move(choices);
    view_.showChoices(box, kept, chosen);
}

void HistoryPresenter::FilterChosen(FilterBox box, std::size_t index) {
    const auto& choices = choices_[static_cast<int>(box)];
    if (telling_ || index >= choices.size())
        return;
    HistoryFilter filter = query_.filter();
    (box == FilterBox::Configuration ? filter.configuration
     : box == FilterBox::Database    ? filter.database
                                     : filter.outcome) = choices[index].value;
    query_.setFilter(std::move(filter));
    filtered();
}

void HistoryPresenter::DateChosen(DateBox box, Date date) {
    // Without data the boxes show today, which filters nothing.
    if (telling_ || query_.records().empty())
        return;
    HistoryFilter filter = query_.filter();
    (box == DateBox::From ? filter.from : filter.to) = date;
    query_.setFilter(std::move(filter));
    filtered();
}

void HistoryPresenter::SortClicked(HistoryColumn column) {
    if (telling_)
        return;
    query_.sortBy(column, column == query_.sortColumn() && !query_.sortDescending());
    const Telling telling(telling_);
    view_.showRows();
    showSelected();
}

void HistoryPresenter::RowSelected(std::optional<std::size_t> row) {
    if (telling_)
        return;
    selected_.reset();
    if (row && *row < query_.rowCount())
        selected_ = query_.recordIndexAt(*row);
    const Telling telling(telling_);
    showSelected();
}

std::optional<std::size_t> HistoryPresenter::SelectedRow() const {
    return selected_ ? query_.rowOf(*selected_) : std::nullopt;
}

// Everything that follows the filter: the database box (of the configuration chosen),
// rows, totals; a selection that no longer shows goes.
void HistoryPresenter::filtered() {
    const Telling telling(telling_);
    showChoices(FilterBox::Database, query_.databaseChoices(), query_.filter().database);
    if (selected_ && !query_.rowOf(*selected_))
        selected_.reset();
    view_.showRows();
    view_.showTotals(query_.totalsText());
    saved_ = ChartOf("Space saved per night", {{"Saved", query_.savedPerNight()}});
    showSelected();
}

void HistoryPresenter::showSelected() {
    view_.showSort(query_.sortColumn(), query_.sortDescending());
    view_.showSelection(SelectedRow());
    const SizeSeries sizes = query_.sizeChart(selected_);
    view_.showCharts(ChartOf(sizes.title, {{"Before", sizes.before}, {"After", sizes.after}}), saved_);
    view_.showLog(query_.passLog(selected_, ErrorLogPath()));
}

void HistoryPresenter::OpenInSpreadsheet() {
    const std::string path = HistoryPath();
    if (!platform::FileExists(path))
        view_.warn("There is no history yet: " + path + " does not exist.");
    else if (!view_.open(path))
        view_.warn("Could not open " + path + ".");
}

void HistoryPresenter::ShowFile() {
    const std::string folder = FolderOf(HistoryPath());
    if (!view_.open(folder))
        view_.warn("Could not open " + folder + ".");
}

} // namespace quillet::admin
