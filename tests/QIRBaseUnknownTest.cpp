#include "QIRBaseUnknown.h"

#include "QIRError.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

extern const IID IID_Shape;
extern const IID IID_IDrawable;

class Shape : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  static const IID& ClassIID() { return IID_Shape; }
};
QIR_IMPLEMENT_CLASS(Shape, QIRBaseUnknown, "Tests")

class Circle : public Shape {
  QIR_DECLARE_CLASS
 public:
  Shape _member;  // inside a heap object, yet never freed by its own Release
};
QIR_IMPLEMENT_CLASS(Circle, Shape, "Tests")

class IDrawable : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_IDrawable; }
  virtual const char* Draw() = 0;
};

// Offers IDrawable for a Shape, which does not derive from it.
struct DrawableTie : IDrawable {
  explicit DrawableTie(QIRBaseUnknown* iShape) : _shape(static_cast<Shape*>(iShape)) {}
  const char* Draw() override { return _shape->IsA(); }
  QIRVar<Shape> _shape;
};

const IID IID_Shape = {"Shape", &QIRCastTo<Shape>};
const IID IID_IDrawable = {"IDrawable", &QIRCastTo<IDrawable>};

namespace {

QIRBaseUnknown* CreateDrawable(QIRBaseUnknown* iShape)
{
  return new DrawableTie(iShape);
}

// Every object made in a test is gone by its end.
struct LiveObjects {
  ~LiveObjects() { EXPECT_EQ(QIRBaseUnknown::GetLiveObjectCount(), Start); }
  const long Start = QIRBaseUnknown::GetLiveObjectCount();
};

}  // namespace

TEST(QIRBaseUnknown, Release_FreesHeapObjectsOnly)
{
  const LiveObjects live;
  Circle* heap = new Circle;
  EXPECT_EQ(heap->AddRef(), 2u);
  EXPECT_EQ(heap->_member.Release(), 0u);
  EXPECT_EQ(heap->Release(), 1u);
  EXPECT_EQ(heap->Release(), 0u);
  EXPECT_EQ((new (std::nothrow) Shape)->Release(), 0u);
  Circle stack;
  EXPECT_EQ(stack.Release(), 0u);
  EXPECT_STREQ(stack.IsA(), "Circle");  // still alive: ASan would report otherwise
  try {
    QIRInternalError("Thrown", "Tests").Throw();
  } catch (QIRError& error) {
    error.Flush();  // the count goes to 0; the runtime, not Release, frees the exception
  }
}

TEST(QIRBaseUnknown, Var_CopyMoveCompare)
{
  const LiveObjects live;
  QIRVar<Shape> first;
  EXPECT_TRUE(first == NULL_var && NULL_var == first && first.isNull());
  EXPECT_THROW(first->IsA(), QIRInternalError);
  first.Attach(new Circle);
  EXPECT_TRUE(first != NULL_var && NULL_var != first);
  {
    QIRVar<Shape> copy(first);
    QIRVar<Shape> moved(std::move(copy));
    QIRBaseUnknown_var base(moved);
    EXPECT_TRUE(copy == NULL_var && base == first);
    EXPECT_EQ(first->GetRefCount(), 3u);
    moved = NULL_var;
    EXPECT_EQ(first->GetRefCount(), 2u);
  }
  EXPECT_EQ(first->GetRefCount(), 1u);
}

TEST(QIRBaseUnknown, QueryInterface_DirectTieAndNone)
{
  const LiveObjects live;
  QIRRegisterTie("IDrawable", "Shape", &CreateDrawable);
  QIRVar<Circle> circle;
  circle.Attach(new Circle);
  void* object = &object;
  const IID unknown = {"Unknown", nullptr};
  EXPECT_EQ(circle->QueryInterface(unknown, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  // Through the base: the tie is entered for Shape, the object is a Circle.
  ASSERT_EQ(circle->QueryInterface(IID_IDrawable, &object), S_OK);
  IDrawable* drawable = static_cast<IDrawable*>(object);
  EXPECT_STREQ(drawable->Draw(), "Circle");
  EXPECT_EQ(circle->GetRefCount(), 2u);
  drawable->Release();
  EXPECT_EQ(circle->GetRefCount(), 1u);
}

// Counts taken and given back from many threads at once balance, and the last Release frees
// the object exactly once; ties registered meanwhile are found by every later query.
TEST(QIRBaseUnknown, AddRefRelease_ManyThreadsBalance)
{
  const LiveObjects live;
  constexpr int kThreads = 8, kRounds = 20000;
  Shape* shared = new Shape;
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      if (t == 0) QIRRegisterTie("IDrawable", "Circle", &CreateDrawable);
      for (int i = 0; i < kRounds; ++i) {
        QIRVar<Shape> handle(shared);  // AddRef here, Release at the end of the round
        if (i % 1000 == 0) QIRVar<IDrawable> drawable(handle);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(shared->GetRefCount(), 1u);
  EXPECT_EQ(shared->Release(), 0u);  // LiveObjects and ASan see whether it was freed once

  QIRVar<Circle> circle;
  circle.Attach(new Circle);
  QIRVar<IDrawable> drawable(circle);
  ASSERT_TRUE(drawable != NULL_var);
  EXPECT_STREQ(drawable->Draw(), "Circle");
}
