#include "demo/demo_fleet.h"

#include <array>
#include <cmath>
#include <random>
#include <string>

namespace kx::demo {
namespace {

constexpr uint32_t kSeed = 20100305;

// Moscow: the centre the vehicles drive around, the radius of their destinations, and the local
// working day in which they drive (local time is UTC+3).
constexpr double kCityLatitude = 55.7558;
constexpr double kCityLongitude = 37.6173;
constexpr double kCityRadiusKm = 15;
constexpr double kKmPerDegree = 111.2;
constexpr int kLocalOffsetHours = 3;
constexpr int kWorkStartHour = 8;
constexpr int kWorkEndHour = 19;

// Driving: a point every one to two minutes at town speeds, sometimes too fast.
constexpr int kMinSampleSeconds = 60;
constexpr int kMaxSampleSeconds = 120;
constexpr double kSpeedLimit = 90;
constexpr double kCoordinateScale = 1e6;  // coordinates are kept to six decimals

// Chances per point of the rarer events, and per stop of the stop events.
constexpr double kSpeedingChance = 0.04;
constexpr double kSignalLossChance = 0.015;
constexpr double kPowerLossChance = 0.005;
constexpr double kFuelChance = 0.12;
constexpr double kSensorChance = 0.25;

constexpr UtcSeconds kDay = 24 * kSecondsPerHour;
constexpr UtcSeconds kMinute = 60;

// Deterministic draws: the engine's raw numbers mapped by this code, not by the standard
// library's distributions, whose results differ between implementations.
class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}
  [[nodiscard]] double Uniform(double low, double high) {
    return low + (high - low) * (static_cast<double>(engine_()) / 4294967296.0);
  }
  [[nodiscard]] int Between(int low, int high) {
    return low + static_cast<int>(engine_() % static_cast<uint32_t>(high - low + 1));
  }
  [[nodiscard]] bool Chance(double probability) { return Uniform(0, 1) < probability; }
  template <typename Item, size_t N>
  [[nodiscard]] const Item& Pick(const std::array<Item, N>& items) {
    return items[static_cast<size_t>(Between(0, static_cast<int>(N) - 1))];
  }

 private:
  std::mt19937 engine_;
};

struct Place {
  double latitude;
  double longitude;
};

struct GroupPlan {
  const char* name;
  const char* fileName;
  int firstDevice;
  int cars;
  std::array<const char*, 5> models;
};

// The fourth group is empty; the last one has a file name in Cyrillic.
constexpr std::array<GroupPlan, 5> kGroups = {{
    {"Доставка по городу",
     "dostavka.grp",
     1001,
     10,
     {"ГАЗель NEXT", "ГАЗель Бизнес", "Лада Ларгус", "Ford Transit", "Mercedes-Benz Sprinter"}},
    {"Грузовые перевозки",
     "gruz.grp",
     1011,
     10,
     {"КамАЗ 65115", "МАЗ 5440", "Volvo FH", "Scania R440", "ЗИЛ 5301"}},
    {"Резерв", "reserve.grp", 0, 0, {}},
    {"Пассажирские перевозки",
     "passazhir.grp",
     1021,
     10,
     {"ПАЗ 3205", "ЛиАЗ 5292", "Hyundai County", "ГАЗель Next Citiline", "МАЗ 206"}},
    {"Спецтехника",
     "Спецтехника.grp",
     1031,
     10,
     {"Автокран Ивановец", "Экскаватор JCB 3CX", "Погрузчик Амкодор", "УАЗ Патриот",
      "Мусоровоз КО-440"}},
}};

// Vehicles that show the special cases: no model and no number; a model without a number; no
// position and no track at all; an eight-digit device number in the last group.
constexpr int32_t kNoNameDevice = 1005;
constexpr int32_t kNoNumberDevice = 1012;
constexpr int32_t kNoDataDevice = 1027;
constexpr int32_t kLongDevice = 12345678;

constexpr std::array<const char*, 12> kPlateLetters = {"А", "В", "Е", "К", "М", "Н",
                                                       "О", "Р", "С", "Т", "У", "Х"};
constexpr std::array<const char*, 5> kRegions = {"77", "97", "177", "199", "750"};

[[nodiscard]] std::string PlateNumber(Random& random) {
  std::string plate = random.Pick(kPlateLetters);
  plate += std::to_string(random.Between(100, 999));
  plate += random.Pick(kPlateLetters);
  plate += random.Pick(kPlateLetters);
  return plate + random.Pick(kRegions);
}

[[nodiscard]] double Round(double value) {
  return std::round(value * kCoordinateScale) / kCoordinateScale;
}

[[nodiscard]] double KmPerLongitudeDegree() {
  return kKmPerDegree * std::cos(kCityLatitude * std::acos(-1.0) / 180);
}

[[nodiscard]] Place RandomPlace(Random& random) {
  const double north = random.Uniform(-kCityRadiusKm, kCityRadiusKm);
  const double east = random.Uniform(-kCityRadiusKm, kCityRadiusKm);
  return {kCityLatitude + north / kKmPerDegree, kCityLongitude + east / KmPerLongitudeDegree()};
}

[[nodiscard]] double DistanceKm(Place a, Place b) {
  const double north = (b.latitude - a.latitude) * kKmPerDegree;
  const double east = (b.longitude - a.longitude) * KmPerLongitudeDegree();
  return std::hypot(north, east);
}

// Writes one vehicle's week: each working day trips from its base through the city until the
// evening and back, with a stop point at every arrival.
class TrackWriter {
 public:
  TrackWriter(Random& random, Place base, UtcSeconds end)
      : random_(random), here_(base), base_(base), end_(end) {}

  [[nodiscard]] std::vector<TrackPoint> Week() {
    const UtcSeconds start = end_ - kTrackDays * kDay;
    now_ = start;
    Stop(0);
    const UtcSeconds local_midnight = (start + kLocalOffsetHours * kSecondsPerHour) / kDay * kDay -
                                      kLocalOffsetHours * kSecondsPerHour;
    for (UtcSeconds day = local_midnight; day < end_; day += kDay) WorkDay(day);
    return std::move(points_);
  }

 private:
  void WorkDay(UtcSeconds midnight) {
    const UtcSeconds leave =
        midnight + kWorkStartHour * kSecondsPerHour + random_.Between(0, 60) * kMinute;
    const UtcSeconds home_by = midnight + kWorkEndHour * kSecondsPerHour;
    if (leave <= now_) return;
    now_ = leave;
    while (now_ < home_by && now_ < end_) {
      Drive(RandomPlace(random_));
      Stop(random_.Between(10, 60) * kMinute);
    }
    Drive(base_);
    Stop(0);
  }

  void Drive(Place to) {
    const double cruise = random_.Uniform(30, 70);
    while (DistanceKm(here_, to) > 0.3 && now_ < end_) {
      const int seconds = random_.Between(kMinSampleSeconds, kMaxSampleSeconds);
      uint32_t events = 0;
      double speed = cruise + random_.Uniform(-15, 15);
      if (random_.Chance(kSpeedingChance)) speed = random_.Uniform(kSpeedLimit + 5, 125);
      if (speed > kSpeedLimit) events |= kEventSpeeding;
      if (random_.Chance(kPowerLossChance)) events |= kEventPowerLoss;
      UtcSeconds elapsed = seconds;
      if (random_.Chance(kSignalLossChance)) {
        events |= kEventSignalLoss;  // the point after a gap without signal
        elapsed += random_.Between(5, 15) * kMinute;
      }
      Advance(to, speed * static_cast<double>(elapsed) / 3600);
      now_ += elapsed;
      Add(speed, events);
    }
  }

  void Advance(Place to, double km) {
    const double fraction = std::min(1.0, km / DistanceKm(here_, to));
    here_.latitude += (to.latitude - here_.latitude) * fraction;
    here_.longitude += (to.longitude - here_.longitude) * fraction;
  }

  void Stop(UtcSeconds dwell) {
    if (now_ > end_) return;
    uint32_t events = kEventStop;
    if (random_.Chance(kFuelChance)) events |= kEventFuel;
    if (random_.Chance(kSensorChance)) {
      events |= kEventSensor1 << random_.Between(0, kSensorCount - 1);
    }
    Add(0, events);
    now_ += dwell;
  }

  void Add(double speed, uint32_t events) {
    if (now_ > end_) return;
    points_.push_back(
        {now_, Round(here_.latitude), Round(here_.longitude), std::round(speed), events});
  }

  Random& random_;
  Place here_;
  Place base_;
  UtcSeconds end_;
  UtcSeconds now_ = 0;
  std::vector<TrackPoint> points_;
};

// Every vehicle's week shows every kind of event: a kind that chance left out is given to a
// stop (refuelling, sensors) or to a moving point (the others).
void AddMissingEvents(Random& random, std::vector<TrackPoint>& track) {
  std::vector<size_t> stops;
  std::vector<size_t> moving;
  uint32_t seen = 0;
  for (size_t i = 0; i < track.size(); ++i) {
    ((track[i].events & kEventStop) != 0 ? stops : moving).push_back(i);
    seen |= track[i].events;
  }
  if (stops.empty() || moving.empty()) return;
  const auto pick = [&random](const std::vector<size_t>& from) {
    return from[static_cast<size_t>(random.Between(0, static_cast<int>(from.size()) - 1))];
  };
  std::vector<uint32_t> at_stops = {kEventFuel};
  for (int k = 0; k < kSensorCount; ++k) at_stops.push_back(kEventSensor1 << k);
  for (const uint32_t event : at_stops) {
    if ((seen & event) == 0) track[pick(stops)].events |= event;
  }
  for (const uint32_t event : {kEventSignalLoss, kEventPowerLoss}) {
    if ((seen & event) == 0) track[pick(moving)].events |= event;
  }
  if ((seen & kEventSpeeding) == 0) {
    TrackPoint& point = track[pick(moving)];
    point.events |= kEventSpeeding;
    point.speed = kSpeedLimit + 15;
  }
}

[[nodiscard]] std::vector<TrackPoint> MakeTrack(Random& random, UtcSeconds end) {
  std::vector<TrackPoint> track = TrackWriter(random, RandomPlace(random), end).Week();
  AddMissingEvents(random, track);
  return track;
}

[[nodiscard]] FleetCar MakeCar(Random& random, const GroupPlan& plan, int32_t device) {
  FleetCar car;
  car.device = device;
  car.model = random.Pick(plan.models);
  car.number = PlateNumber(random);
  if (device == kNoNameDevice) {
    car.model.clear();
    car.number.clear();
  }
  if (device == kNoNumberDevice) car.number.clear();
  return car;
}

void SetLastPosition(FleetCar& car, const std::vector<TrackPoint>& track) {
  if (track.empty()) return;
  const TrackPoint& last = track.back();
  car.position = VehiclePosition{CarTitle(car), last.latitude, last.longitude, last.time};
}

}  // namespace

DemoData MakeDemoData(UtcSeconds end) {
  Random random(kSeed);
  DemoData data;
  for (const GroupPlan& plan : kGroups) {
    FleetGroup group{plan.name, plan.fileName, {}};
    std::vector<int32_t> devices;
    for (int i = 0; i < plan.cars; ++i) devices.push_back(plan.firstDevice + i);
    if (&plan == &kGroups.back()) devices.push_back(kLongDevice);
    for (const int32_t device : devices) {
      FleetCar car = MakeCar(random, plan, device);
      if (device != kNoDataDevice) {
        std::vector<TrackPoint> track = MakeTrack(random, end);
        SetLastPosition(car, track);
        data.tracks[device] = std::move(track);
      }
      group.cars.push_back(std::move(car));
    }
    data.fleet.groups.push_back(std::move(group));
  }
  return data;
}

}  // namespace kx::demo
