#include "forward/initial_column.hpp"

#include <algorithm>

#include "arrays/column_major.hpp"
#include "forward/input_checks.hpp"
#include "kernel/scratch.hpp"
#include "parallel/fork_join.hpp"

namespace {

// Rows of S summed per pass over its columns: the block's sums stay in the
// first-level cache while S is read in its own order.
constexpr std::int32_t kRowBlock = 2048;

// The first members of rows [first, last) into member. Each row sum adds
// the columns in ascending order from 0.0, as rowSum does. Returns the first
// row that sums to one member but holds no entry equal to 1, or last when
// there is none.
std::int32_t findMembers(const ForwardInputs& in, std::int32_t* member, std::int32_t first, std::int32_t last) {
    const std::int32_t n = in.membership.rows;
    double sum[kRowBlock];
    for (std::int32_t low = first; low < last; low += kRowBlock) {
        const std::int32_t high = std::min(low + kRowBlock, last);
        std::fill(sum, sum + (high - low), 0.0);
        for (std::int32_t c = 0; c < in.membership.cols; ++c) {
            const double* entries = in.membership.data + static_cast<std::int64_t>(c) * n;
            for (std::int32_t i = low; i < high; ++i) sum[i - low] = sum[i - low] + entries[i];
        }
        for (std::int32_t i = low; i < high; ++i) {
            member[i] = -1;
            if (truncateOr(sum[i - low], 0) != 1) continue;
            for (std::int32_t c = 0; c < in.membership.cols && member[i] < 0; ++c) {
                if (in.membership.data[i + static_cast<std::int64_t>(c) * n] == 1.0) member[i] = c;
            }
            if (member[i] < 0) return i;
        }
    }
    return last;
}

}  // namespace

const std::int32_t* firstMembers(const ForwardInputs& in, std::int32_t requestedThreads, Fault* fault) {
    const std::int32_t n = in.membership.rows;
    auto* member = scratchArray<std::int32_t>(static_cast<std::size_t>(n));
    const std::int32_t threads =
        teamSize(static_cast<std::int64_t>(n) * in.membership.cols, kThreadedTableEntries, requestedThreads);
    std::int32_t faultRow[kMaxThreads];
    splitWork(threads, [&](std::int32_t share, std::int32_t shares) {
        const std::int32_t first = shareStart(n, share, shares);
        faultRow[share] = findMembers(in, member, first, shareStart(n, share + 1, shares));
    });
    for (std::int32_t share = 0; share < threads; ++share) {
        std::int32_t row = faultRow[share];
        if (row == shareStart(n, share + 1, threads)) continue;
        setFault(*fault, "noMemberEntry", "S",
                 "row %d sums to %.17g, one member, and must hold an entry equal to 1; found none.", row + 1,
                 rowSum(in.membership.data, row, n, in.membership.cols));
        return nullptr;
    }
    return member;
}

void writeStepOne(const ForwardPlan& plan, double* column) {
    for (std::int32_t j = 0; j < plan.states; ++j) {
        const std::int32_t symbol = plan.firstMember[j];
        column[plan.order.placeOf(j)] = symbol < 0 ? 0.0 : plan.observations[symbol];
    }
}
